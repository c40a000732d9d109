// Dialogue lines and conversations with speech.
//
// A dialogue text is a text resource. A plain text is one line: typed into
// the message log during presentations, written to the ship's log in
// flight, with its speech sample. A text that begins with '<' is a
// conversation: a header of up to four speakers besides the player, then a
// tree of speaker lines, groups of alternatives (the player's replies) and
// value nodes, run a line at a time by a per-frame tick, with the replies
// offered on the comms panel (a caller list and five reply windows).
//
// Conversation text:
//     <A=Alpha B=Base>
//     (A: Hello.               a line of speaker A
//      (P:[A+]{Yes} Yes.  =1)  a reply to A ('+': taking it ends the choice),
//      (P:[A-]{No} No.    =2)  short label in braces, value nodes '=' or '*'
//      B: Out.)                '-': the choice may end without it
//
// Not here: the message log's typing (ui/messagelog.h), the ship's log
// (ui/shiplog.h), the comms arm's film and speaker pictures (the bridge).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

struct SceneItem;
struct Resource;
struct SoundSlot;
struct WindowHandle;

// Dialogue node flags.
enum : uint32_t {
    kNodePlayer = 0x2,            // a player line: a reply option
    kNodeStructural = 0x4,        // a group marker, no line
    kNodeEnd = 0x20,              // the end of the conversation
    kNodeValue = 0x40,            // stores its value in the result variable
    kNodeChoice = 0x100,          // the alternatives that follow are offered
    kNodeEndAlternatives = 0x200, // after the last alternative
    kNodeTaken = 0x400,           // the reply was chosen
    kNodeMayPass = 0x1000,        // '-': the choice may end without this reply
    kNodeClosing = 0x2000,        // '+': taking this reply ends the choice
};

constexpr int kConversationSpeakers = 5; // the player and four others
constexpr int kSpeakerNameSize = 32;
constexpr int kCommsReplySlots = 5;
constexpr int32_t kPendingSpeechLineTime = 360000; // until the '#' mark is typed

struct DialogueNode {
    DialogueNode* next;        // the node that follows
    DialogueNode* alternative; // the first node of the next alternative
    int16_t speaker;           // speaker slot, 0 the player
    uint32_t flags;
    std::string line;  // "Name - text"
    std::string label; // the braces text, else the line
    int16_t addressed; // speaker slot a reply addresses
    Resource* speech;  // the line's sample, or null
    int32_t value;
};

// Conversation flags.
enum : uint32_t {
    kConversationWaiting = 0x1, // for a reply
    kConversationSpeaking = 0x2,
};

struct Conversation {
    Conversation* next; // in the active list
    uint32_t flags;
    DialogueNode* root;
    DialogueNode* current;
    DialogueNode* end;
    char letters[kConversationSpeakers];
    int16_t speakerCount;
    char names[kConversationSpeakers][kSpeakerNameSize];
    SceneItem* partner;
    int32_t speakingTime; // ticks
    int32_t* resultVariable;
    SceneItem* item;                // the one taking part, for IsInConversation
    const Resource* text;           // the text it was started from
    std::deque<DialogueNode> nodes; // all of its nodes, freed with it
};

// A reply on offer: its line node, its conversation and the name of the
// speaker it addresses (the caller the player answers).
struct OfferedReply {
    DialogueNode* node;
    Conversation* conversation;
    const char* caller;
};

// The dialogue state, one record.
struct DialogueState {
    Conversation* active; // the active list
    std::vector<OfferedReply> offered;
    OfferedReply slots[kCommsReplySlots]; // node null: empty
    uint8_t callerListOpen;
    int32_t preview = -1; // slot under the mouse, -1 none
    int32_t lineCounter;
    char speechBase[260];    // "" when the text has no speech files
    SoundSlot* playing;      // the conversation sample playing
    SceneItem* commsPartner; // the other side while it speaks; null the player
    char commsName[kSpeakerNameSize];
    char caller[kSpeakerNameSize]; // the caller whose replies fill the slots
    int32_t commsState;            // -1 after StopAllConversations
};
extern DialogueState gDialogue;

// Plays a text resource: a conversation for a text beginning with '<' (not
// once the player's ship is lost), else a single line with its speech. 0
// only for a resource without text, after "Could not find dialogue script
// '%s'" titled "DIALOGUE error"; 255 otherwise.
uint8_t PlayDialogue(Resource* textResource, int32_t* resultVariable, SceneItem* item, SceneItem* partner);
// Reads the conversation of the text (speech files named from the
// resource's name and the language) and makes it active.
void StartConversation(Resource* textResource, int32_t* resultVariable, SceneItem* item, SceneItem* partner);
// Parses a conversation text and appends it to the active list; null when
// the text is no conversation or its brackets do not balance (after the
// fatal "Dialogue parse error - Number of brackets in dialogue is wrong.").
// Line n of it gets the speech file "<speech base>_<n>.wav" when one exists.
Conversation* ParseConversation(const char* text, int32_t* resultVariable, SceneItem* item, SceneItem* partner);
// The body of a conversation text with its markup made into '|' pairs and
// speaker tags carrying the speaker's name; ends in "|x".
std::string RewriteConversationBody(const char* body, const Conversation& conversation);
// The speech base name of a text resource name in the current language
// ("<audio root>\m<two letters>_<file name less 4>"); false (and "") when
// the name has no backslash or is shorter than four characters.
bool DialogueSpeechBase(const char* resourceName, char* out, int outSize);
// Once a frame: counts the speaking down and advances every conversation.
void UpdateConversations();
// Unlinks and frees the conversation and withdraws its replies.
void EndConversation(Conversation* conversation);
void StopAllConversations();
// Ends every conversation whose partner is the item.
void EndSceneItemConversations(SceneItem* item);
// 255 when the item takes part in an active conversation; with no item,
// 255 when any is active.
uint8_t IsInConversation(SceneItem* item);
// The item taking part in (else the partner of) the newest active
// conversation started from the text; null when there is none.
SceneItem* ConversationShipOfText(const Resource* text);
// Forgets both lists (the pools they lived in are being reset).
void ResetConversationLists();

// The comms panel's draw types and click handlers.
void guiDrawCommsCallerList(WindowHandle* window);
void guiClickCommsCallerList(WindowHandle* window);
void guiDrawCommsReply(WindowHandle* window);
void guiDrawCommsReplyPreview(WindowHandle* window);
void guiClickCommsReply(WindowHandle* window);
// Fills the reply slots with the offered replies of that caller, in order.
void guiFillCommsReplies(const char* callerName);
