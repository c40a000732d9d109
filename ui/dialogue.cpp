// Dialogue lines and conversations with speech.
//
// Owns the active conversations, their node trees, the offered replies and
// the five reply slots, the conversation speech sample and the comms
// partner and name that the comms panel shows. A conversation text is read
// in three steps: the speaker header, a rewrite of the body that turns every
// markup character into a '|' pair (so a line runs to the next '|'), and the
// tree of groups. Does not own the message log's typing (ui/messagelog.cpp)
// nor the ship's log (ui/shiplog.cpp).
#include "ui/dialogue.h"

#include "screens/bridge.h"
#include "script/interpreter.h"
#include "script/vitalobjects.h"
#include "system/canvas.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/text.h"
#include "ui/drawtypes.h"
#include "ui/messagelog.h"
#include "ui/shiplog.h"
#include "ui/windows.h"
#include "world/scenelist.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

DialogueState gDialogue;

namespace {

constexpr const char* kAudioRoot = "zqk\\resource\\text\\audio";
constexpr int kLanguages = 3;
// Base name of a text's speech files and the single line's file, by language.
constexpr const char* kSpeechBaseFormats[kLanguages] = {"%s\\m%s_%s", "%sFrench\\m%s_%s", "%sGerman\\m%s_%s"};
constexpr const char* kPlayerNames[kLanguages] = {"You", "Vous", "Sie"};
constexpr const char* kBracketError = "Dialogue parse error - Number of brackets in dialogue is wrong.";
constexpr int kMaxGroupDepth = 64;    // deeper groups are passed over
constexpr int kMaxStepsAFrame = 4096; // a conversation's steps in one tick
constexpr int kCallerRow = 14;
constexpr const char* kNoPreview = "    ";

bool IsSpeakerLetter(char c)
{
    return c >= 'A' && c <= 'Z';
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int16_t SpeakerIndex(const Conversation& c, char letter)
{
    for (int16_t i = 0; i < c.speakerCount; ++i)
        if (c.letters[i] == letter)
            return i;
    return -1;
}

// '<' then letter '=' name pairs up to '>'; returns the position after the
// header. More than four pairs keep the first four; names are cut to fit.
const char* ReadSpeakerHeader(const char* text, Conversation& c)
{
    c.letters[0] = 'P';
    std::snprintf(c.names[0], kSpeakerNameSize, "%s", kPlayerNames[gSettings.language < kLanguages ? gSettings.language : 0]);
    c.speakerCount = 1;
    const char* p = text + 1;
    while (*p && *p != '>') {
        if (IsSpeakerLetter(p[0]) && p[1] == '=') {
            const char* name = p + 2;
            const char* end = name;
            while (std::isalnum(static_cast<unsigned char>(*end)))
                ++end;
            if (c.speakerCount < kConversationSpeakers) {
                const int length = static_cast<int>(std::min<std::ptrdiff_t>(end - name, kSpeakerNameSize - 1));
                c.letters[c.speakerCount] = p[0];
                std::memcpy(c.names[c.speakerCount], name, static_cast<size_t>(length));
                c.names[c.speakerCount][length] = 0;
                ++c.speakerCount;
            }
            p = end;
            continue;
        }
        ++p;
    }
    return *p == '>' ? p + 1 : p;
}

// Copies a bracket or brace part ("[...]", "{...}") when one starts at p.
const char* CopyPart(const char* p, char open, char close, std::string& out)
{
    if (*p != open)
        return p;
    while (*p && *p != close)
        out += *p++;
    if (*p == close)
        out += *p++;
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

// --- Tree building ---------------------------------------------------------

enum class Token {
    Open,
    Close,
    Line,
    Value,
    End,
    Other
};

struct Parser {
    Conversation& c;
    const std::string& s;
    size_t at;
    int16_t lastOther; // default addressee of a reply without brackets
};

DialogueNode* NewNode(Conversation& c, uint32_t flags)
{
    DialogueNode& n = c.nodes.emplace_back();
    n.flags = flags;
    n.value = 0;
    n.speaker = 0;
    n.addressed = 0;
    n.speech = nullptr;
    n.next = n.alternative = nullptr;
    return &n;
}

Token Peek(const Parser& p)
{
    if (p.at + 1 >= p.s.size() || p.s[p.at] != '|')
        return p.at >= p.s.size() ? Token::End : Token::Other;
    switch (p.s[p.at + 1]) {
    case '(': return Token::Open;
    case ')': return Token::Close;
    case ':': return Token::Line;
    case '=': return Token::Value;
    case 'x': return Token::End;
    default: return Token::Other;
    }
}

// Passes over the token at p (or the text up to the next '|').
void Skip(Parser& p)
{
    if (p.at < p.s.size() && p.s[p.at] == '|')
        p.at += 2;
    while (p.at < p.s.size() && p.s[p.at] != '|')
        ++p.at;
}

// Brackets of a reply: the addressed speaker's letter and the '-' and '+'
// flags.
void ReadReplyPart(Parser& p, DialogueNode& n)
{
    const std::string& s = p.s;
    if (p.at >= s.size() || s[p.at] != '[')
        return;
    for (++p.at; p.at < s.size() && s[p.at] != ']' && s[p.at] != '|'; ++p.at) {
        const char ch = s[p.at];
        if (ch == '-')
            n.flags |= kNodeMayPass;
        else if (ch == '+')
            n.flags |= kNodeClosing;
        else if (IsSpeakerLetter(ch) && SpeakerIndex(p.c, ch) >= 0)
            n.addressed = SpeakerIndex(p.c, ch);
    }
    if (p.at < s.size() && s[p.at] == ']')
        ++p.at;
}

DialogueNode* ReadLine(Parser& p)
{
    const std::string& s = p.s;
    p.at += 2;
    const char letter = p.at < s.size() ? s[p.at] : 0;
    if (p.at < s.size())
        ++p.at;
    DialogueNode* n = NewNode(p.c, 0);
    const int16_t speaker = SpeakerIndex(p.c, letter);
    n->speaker = speaker >= 0 ? speaker : static_cast<int16_t>(p.c.speakerCount - 1);
    if (n->speaker == 0) {
        n->flags |= kNodePlayer;
        n->addressed = p.lastOther;
    } else {
        p.lastOther = n->speaker;
    }
    ReadReplyPart(p, *n);
    if (p.at < s.size() && s[p.at] == '{') {
        const size_t close = s.find_first_of("}|", p.at);
        const size_t stop = close == std::string::npos ? s.size() : close;
        n->label = s.substr(p.at + 1, stop - p.at - 1);
        p.at = stop < s.size() && s[stop] == '}' ? stop + 1 : stop;
    }
    size_t end = s.find('|', p.at);
    if (end == std::string::npos)
        end = s.size();
    size_t last = end;
    while (last > p.at && IsBlank(s[last - 1]))
        --last;
    n->line = s.substr(p.at, last - p.at);
    if (n->label.empty())
        n->label = n->line;
    p.at = end;
    if (gDialogue.speechBase[0]) {
        char path[sizeof gDialogue.speechBase + 16];
        std::snprintf(path, sizeof path, "%s_%1i.wav", gDialogue.speechBase, gDialogue.lineCounter);
        if (ResFileExists(path)) {
            n->speech = ResRegisterLoad(path, ResType::Sound);
            ResSetModelFlag(n->speech);
        }
    }
    ++gDialogue.lineCounter;
    return n;
}

DialogueNode* ReadValue(Parser& p)
{
    p.at += 2;
    DialogueNode* n = NewNode(p.c, kNodeValue);
    const char* text = p.s.c_str() + p.at;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    n->value = static_cast<int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
    Skip(p);
    return n;
}

struct Chain {
    DialogueNode* first;
    DialogueNode* last;
};

void Append(Chain& chain, DialogueNode* n)
{
    if (!chain.first)
        chain.first = n;
    else
        chain.last->next = n;
    chain.last = n;
}

// Passes over a group too deep to build, up to its closing bracket.
void SkipGroup(Parser& p)
{
    for (int depth = 1; depth > 0;) {
        const Token t = Peek(p);
        if (t == Token::End)
            return;
        depth += t == Token::Open ? 1 : t == Token::Close ? -1
                                                          : 0;
        Skip(p);
    }
}

// The tokens of one group (after its '(' up to its ')'), or of the outermost
// level (up to the end of the text), chained in order.
Chain ParseDialogueGroup(Parser& p, int depth)
{
    const bool outermost = depth == 0;
    Chain chain{};
    for (;;) {
        const Token t = Peek(p);
        if (t == Token::End)
            break;
        if (t == Token::Close) {
            Skip(p);
            if (outermost)
                continue; // the outermost group's own ')'
            break;
        }
        if (t == Token::Line) {
            Append(chain, ReadLine(p));
            continue;
        }
        if (t == Token::Value) {
            Append(chain, ReadValue(p));
            continue;
        }
        if (t != Token::Open) {
            Skip(p);
            continue;
        }
        // A set of alternatives: a choice point, each bracketed group one
        // alternative, linked through the alternative links of their first
        // nodes and back to the choice point at their ends.
        DialogueNode* choice = NewNode(p.c, kNodeStructural | kNodeChoice);
        Append(chain, choice);
        DialogueNode* previous = nullptr;
        while (Peek(p) == Token::Open) {
            Skip(p);
            if (depth >= kMaxGroupDepth) {
                SkipGroup(p);
                continue;
            }
            Chain alternative = ParseDialogueGroup(p, depth + 1);
            if (!alternative.first)
                alternative.first = alternative.last = NewNode(p.c, kNodeStructural);
            alternative.last->next = choice;
            (previous ? previous->alternative : choice->next) = alternative.first;
            previous = alternative.first;
        }
        // At the end of the text the end node closes the alternatives too.
        const bool atEnd = outermost && Peek(p) == Token::End;
        DialogueNode* marker = NewNode(p.c, kNodeStructural | kNodeEndAlternatives | (atEnd ? uint32_t{kNodeEnd} : 0u));
        (previous ? previous->alternative : choice->next) = marker;
        chain.last = marker;
        if (atEnd)
            p.c.end = marker;
    }
    return chain;
}

// --- Running ---------------------------------------------------------------

void ForgetSlots(const Conversation* c)
{
    for (OfferedReply& slot : gDialogue.slots)
        if (!c || slot.conversation == c)
            slot = OfferedReply{};
}

void WithdrawReplies(const Conversation* c)
{
    std::erase_if(gDialogue.offered, [c](const OfferedReply& r) { return r.conversation == c; });
    ForgetSlots(c);
}

void FreeConversation(Conversation* c)
{
    WithdrawReplies(c);
    delete c;
}

// The comms name and the speaker whose picture the comms panel shows.
void SetCommsName(const char* name)
{
    std::snprintf(gDialogue.commsName, sizeof gDialogue.commsName, "%s", name);
    guiSetCommsSpeaker(name);
}

// The line is logged and spoken: its sample replaces the one playing and
// times it, else its text does.
void SpeakLine(Conversation& c, const DialogueNode& n)
{
    SetCommsName(c.names[n.speaker]);
    AddShipLogText(static_cast<int32_t>(gFrameClock.gameClock), n.line.c_str());
    int32_t time = guiMessageTextDuration(n.line.c_str(), nullptr);
    if (auto* sample = n.speech ? static_cast<SoundSlot*>(ResGet(n.speech)) : nullptr) {
        if (gDialogue.playing && gDialogue.playing != sample)
            SoundStop(gDialogue.playing);
        gDialogue.playing = sample;
        SoundStart(sample, 0, 0, 0, 0);
        time = guiSpeechTicks(sample, time);
    }
    c.speakingTime = time;
    c.flags |= kConversationSpeaking;
    gScriptMission.dialogueCountdown = time;
}

DialogueNode* After(const Conversation& c, const DialogueNode* n)
{
    return n->next ? n->next : c.end;
}

// A choice point: moves past its alternatives when the taken replies allow,
// else offers the untaken ones and waits. Always stops the conversation.
void StepChoice(Conversation& c, DialogueNode* choice)
{
    bool closing = false, anyTaken = false, untakenAllMayPass = true, anyUntaken = false;
    DialogueNode* a = choice->next;
    int guard = 0;
    for (; a && !(a->flags & kNodeEndAlternatives) && guard < kMaxStepsAFrame; a = a->alternative, ++guard) {
        if (a->flags & kNodeTaken) {
            anyTaken = true;
            closing = closing || (a->flags & kNodeClosing);
        } else {
            anyUntaken = true;
            untakenAllMayPass = untakenAllMayPass && (a->flags & kNodeMayPass);
        }
    }
    DialogueNode* marker = a && (a->flags & kNodeEndAlternatives) ? a : c.end;
    if (closing || (anyTaken && untakenAllMayPass) || !anyUntaken) {
        c.current = (marker->flags & kNodeEnd) ? marker : After(c, marker);
        return;
    }
    for (a = choice->next; a && a != marker; a = a->alternative)
        if (!(a->flags & kNodeTaken))
            gDialogue.offered.push_back({a, &c, c.names[a->addressed]});
    c.flags |= kConversationWaiting;
    gDialogue.callerListOpen = 1;
}

// One step on the current node; true when the conversation stops for now.
bool Step(Conversation& c)
{
    DialogueNode* n = c.current;
    if (n->flags & kNodeEnd)
        return true;
    if (n->flags & kNodeChoice) {
        StepChoice(c, n);
        return true;
    }
    if (n->flags & kNodeValue) {
        // A script variable's value need not be aligned.
        if (c.resultVariable)
            std::memcpy(c.resultVariable, &n->value, sizeof n->value);
        c.current = After(c, n);
        return false;
    }
    if (n->flags & kNodeStructural) {
        c.current = After(c, n);
        return false;
    }
    if (!(n->flags & kNodePlayer))
        gDialogue.commsPartner = c.partner;
    SpeakLine(c, *n);
    c.current = After(c, n);
    return true;
}

bool FindsItem(const Conversation* c, const SceneItem* item)
{
    return !item || c->item == item;
}

const RasterFont* WindowFont(const WindowHandle* window, const RasterFont* fallback)
{
    if (window->font && window->font->data)
        return static_cast<const RasterFont*>(window->font->data);
    return fallback;
}

bool MouseIn(const WindowHandle* window)
{
    return gWindows.mouseX >= window->rect[0] && gWindows.mouseX <= window->rect[2] &&
           gWindows.mouseY >= window->rect[1] && gWindows.mouseY <= window->rect[3];
}

// The distinct callers of the offered replies, in list order.
std::vector<const char*> Callers()
{
    std::vector<const char*> callers;
    for (const OfferedReply& r : gDialogue.offered) {
        bool known = false;
        for (const char* name : callers)
            known = known || std::strcmp(name, r.caller) == 0;
        if (!known)
            callers.push_back(r.caller);
    }
    return callers;
}

// The caller row under the mouse, or -1.
int32_t CallerRowAtMouse(const WindowHandle* window)
{
    if (!MouseIn(window))
        return -1;
    const int32_t y = gWindows.mouseY - window->rect[1] - 2;
    return y >= 0 ? y / kCallerRow : -1;
}

void AnswerCaller(const char* caller)
{
    gDialogue.commsPartner = nullptr;
    SetCommsName(caller);
    std::snprintf(gDialogue.caller, sizeof gDialogue.caller, "%s", caller);
    gDialogue.callerListOpen = 0;
    guiFillCommsReplies(caller);
}

int32_t WindowSlot(const WindowHandle* window)
{
    if (window->subject.kind != WindowSubject::Kind::CommsSlot)
        return -1;
    const int32_t slot = window->subject.slot;
    return slot >= 0 && slot < kCommsReplySlots ? slot : -1;
}

// The speech file of a single dialogue line, when it exists.
bool SingleLineSpeech(const char* resourceName, char* out, int outSize)
{
    char base[kSpeechNameSize];
    if (!DialogueSpeechBase(resourceName, base, sizeof base))
        return false;
    const int written = std::snprintf(out, static_cast<size_t>(outSize), "%s_0.wav", base);
    return written > 0 && written < outSize && ResFileExists(out);
}

} // namespace

bool DialogueSpeechBase(const char* resourceName, char* out, int outSize)
{
    out[0] = 0;
    const size_t length = resourceName ? strnlen(resourceName, kResNameSize) : 0;
    const char* slash = resourceName ? std::strrchr(resourceName, '\\') : nullptr;
    if (length < 4 || !slash)
        return false;
    const size_t cut = static_cast<size_t>(slash - resourceName);
    char letters[3] = {};
    const size_t from = cut >= 2 ? cut - 2 : 0;
    std::memcpy(letters, resourceName + from, cut - from);
    char file[kResNameSize] = {};
    const size_t fileLength = length - cut - 1;
    if (fileLength > 4)
        std::memcpy(file, slash + 1, fileLength - 4);
    const int language = gSettings.language < kLanguages ? gSettings.language : 0;
    const int written = std::snprintf(out, static_cast<size_t>(outSize), kSpeechBaseFormats[language], kAudioRoot,
                                      letters, file);
    if (written < 0 || written >= outSize) {
        out[0] = 0;
        return false;
    }
    return true;
}

std::string RewriteConversationBody(const char* body, const Conversation& c)
{
    std::string out;
    const char* p = body;
    while (*p) {
        if (IsSpeakerLetter(p[0]) && p[1] == ':') {
            const char letter = p[0];
            out += "|:";
            out += letter;
            p += 2;
            while (*p == ' ' || *p == '\t')
                ++p;
            p = CopyPart(p, '[', ']', out);
            p = CopyPart(p, '{', '}', out);
            while (IsBlank(*p))
                ++p;
            const int16_t speaker = SpeakerIndex(c, letter);
            out += c.names[speaker >= 0 ? speaker : c.speakerCount - 1];
            out += " - ";
            continue;
        }
        switch (*p) {
        case '(':
        case ')':
        case '=':
        case '&':
            out += '|';
            out += *p;
            break;
        case '*':
            out += "|*|=";
            break;
        case '|':
            break; // not markup of its own: a line runs to the next pair
        default:
            out += *p;
        }
        ++p;
    }
    out += "|x";
    return out;
}

Conversation* ParseConversation(const char* text, int32_t* resultVariable, SceneItem* item, SceneItem* partner)
{
    if (!text || text[0] != '<')
        return nullptr;
    auto* c = new Conversation{};
    const char* body = ReadSpeakerHeader(text, *c);
    const std::string s = RewriteConversationBody(body, *c);
    int32_t open = 0, close = 0;
    for (size_t i = 0; i + 1 < s.size(); ++i)
        if (s[i] == '|') {
            open += s[i + 1] == '(';
            close += s[i + 1] == ')';
            ++i;
        }
    if (open != close) {
        FatalError(kBracketError);
        delete c; // parsing on would run past the groups' ends
        return nullptr;
    }
    Parser p{*c, s, s.find("|("), static_cast<int16_t>(c->speakerCount > 1 ? 1 : 0)};
    if (p.at == std::string::npos)
        p.at = s.size();
    else
        p.at += 2;
    c->root = NewNode(*c, kNodeStructural);
    const Chain chain = ParseDialogueGroup(p, 0);
    c->root->next = chain.first;
    if (!c->end) {
        c->end = NewNode(*c, kNodeStructural | kNodeEnd);
        if (chain.last)
            chain.last->next = c->end;
        else
            c->root->next = c->end;
    }
    c->current = c->root;
    c->resultVariable = resultVariable;
    c->item = item;
    c->partner = partner;
    Conversation** tail = &gDialogue.active;
    while (*tail)
        tail = &(*tail)->next;
    *tail = c;
    gCommsArmRequest = 255;
    return c;
}

void StartConversation(Resource* textResource, int32_t* resultVariable, SceneItem* item, SceneItem* partner)
{
    const auto* text = textResource ? static_cast<const char*>(textResource->data) : nullptr;
    if (!text)
        return;
    gDialogue.lineCounter = 0;
    DialogueSpeechBase(textResource->name, gDialogue.speechBase, sizeof gDialogue.speechBase);
    if (Conversation* c = ParseConversation(text, resultVariable, item, partner))
        c->text = textResource;
    gDialogue.speechBase[0] = 0;
}

uint8_t PlayDialogue(Resource* textResource, int32_t* resultVariable, SceneItem* item, SceneItem* partner)
{
    const auto* text = textResource ? static_cast<const char*>(textResource->data) : nullptr;
    if (!text) {
        char message[kResNameSize + 48];
        std::snprintf(message, sizeof message, "Could not find dialogue script '%s'",
                      textResource ? textResource->name : "");
        DebugMessageBox(message, "DIALOGUE error");
        return 0;
    }
    if (text[0] == '<') {
        if (!gPlayerShipLost)
            StartConversation(textResource, resultVariable, item, partner);
        return 255;
    }
    bool hasMark = false;
    int32_t time = guiMessageTextDuration(text, &hasMark);
    if (gPresentation.running) {
        guiAddMessageLogText(text, 0);
        char speech[300];
        if (SingleLineSpeech(textResource->name, speech, sizeof speech)) {
            if (hasMark) {
                guiSetMessageLogSpeech(speech);
                time = kPendingSpeechLineTime;
            } else if (const SoundSlot* sample = SpeechPlay(speech)) {
                time = guiSpeechTicks(sample, time);
            }
        }
    } else {
        AddShipLogText(static_cast<int32_t>(gFrameClock.gameClock), text);
    }
    gSpeechCountdown = time;
    gScriptMission.dialogueCountdown = time;
    return 255;
}

void UpdateConversations()
{
    Conversation* c = gDialogue.active;
    while (c) {
        Conversation* next = c->next;
        if (c->speakingTime > 0) {
            c->speakingTime -= gFrameClock.frameTicks;
            if (c->speakingTime <= 0) {
                c->speakingTime = 0;
                c->flags &= ~kConversationSpeaking;
                gDialogue.commsPartner = nullptr;
            }
        }
        if (c->current->flags & kNodeEnd) {
            if (!(c->flags & kConversationSpeaking))
                EndConversation(c);
        } else if (!(c->flags & (kConversationWaiting | kConversationSpeaking))) {
            for (int steps = 0; steps < kMaxStepsAFrame && !Step(*c); ++steps) {
            }
        }
        c = next;
    }
}

void EndConversation(Conversation* conversation)
{
    for (Conversation** link = &gDialogue.active; *link; link = &(*link)->next)
        if (*link == conversation) {
            *link = conversation->next;
            FreeConversation(conversation);
            return;
        }
}

void EndSceneItemConversations(SceneItem* item)
{
    Conversation* c = gDialogue.active;
    while (c) {
        Conversation* next = c->next;
        if (c->partner == item)
            EndConversation(c);
        c = next;
    }
}

void StopAllConversations()
{
    while (gDialogue.active)
        EndConversation(gDialogue.active);
    gDialogue.offered.clear();
    ForgetSlots(nullptr);
    if (gDialogue.playing)
        SoundStop(gDialogue.playing);
    gDialogue.playing = nullptr;
    gDialogue.commsPartner = nullptr;
    gDialogue.commsState = -1;
    guiClearMessageLog();
}

void ResetConversationLists()
{
    // The lists' records are ours, not the reset pools': free them here.
    Conversation* c = gDialogue.active;
    gDialogue.active = nullptr;
    while (c) {
        Conversation* next = c->next;
        delete c;
        c = next;
    }
    gDialogue.offered.clear();
    ForgetSlots(nullptr);
}

uint8_t IsInConversation(SceneItem* item)
{
    for (const Conversation* c = gDialogue.active; c; c = c->next)
        if (FindsItem(c, item))
            return 255;
    return 0;
}

SceneItem* ConversationShipOfText(const Resource* text)
{
    SceneItem* ship = nullptr;
    for (const Conversation* c = gDialogue.active; c; c = c->next)
        if (text && c->text == text)
            ship = c->item ? c->item : c->partner;
    return ship;
}

void guiFillCommsReplies(const char* callerName)
{
    int slot = 0;
    for (const OfferedReply& r : gDialogue.offered)
        if (slot < kCommsReplySlots && callerName && std::strcmp(r.caller, callerName) == 0)
            gDialogue.slots[slot++] = r;
    for (; slot < kCommsReplySlots; ++slot)
        gDialogue.slots[slot] = OfferedReply{};
}

void guiDrawCommsCallerList(WindowHandle* window)
{
    window->redrawCount = gWindows.redrawValue > 0 ? gWindows.redrawValue : 1;
    if (!gDialogue.callerListOpen)
        return;
    const std::vector<const char*> callers = Callers();
    if (callers.size() == 1) {
        AnswerCaller(callers[0]);
        return;
    }
    const Canvas canvas = ScreenCanvas();
    if (!canvas.pixels)
        return;
    const ClipRect clip{window->rect[0], window->rect[1], window->rect[2], window->rect[3]};
    const int32_t hovered = CallerRowAtMouse(window);
    for (size_t row = 0; row < callers.size(); ++row) {
        const int32_t top = kCallerRow * static_cast<int32_t>(row + 1);
        if (top > window->height)
            break;
        const RasterFont* font = static_cast<int32_t>(row) == hovered ? gFontR : WindowFont(window, gFontB);
        int16_t x = static_cast<int16_t>(window->rect[0] + kCallerRow);
        int16_t y = static_cast<int16_t>(window->rect[1] + top);
        CanvasTextWrap(canvas, x, y, callers[row], font, clip);
    }
}

void guiClickCommsCallerList(WindowHandle* window)
{
    if (!gDialogue.callerListOpen) {
        gDialogue.callerListOpen = 1;
        return;
    }
    const std::vector<const char*> callers = Callers();
    const int32_t row = CallerRowAtMouse(window);
    if (row >= 0 && row < static_cast<int32_t>(callers.size()))
        AnswerCaller(callers[static_cast<size_t>(row)]);
}

void guiDrawCommsReply(WindowHandle* window)
{
    window->flags |= kWindowNoFlash;
    const int32_t slot = WindowSlot(window);
    if (slot < 0 || gDialogue.offered.empty() || !gDialogue.slots[slot].node)
        return;
    window->text = gDialogue.slots[slot].node->label.c_str();
    guiDrawStringWindow(window);
    if (MouseIn(window))
        gDialogue.preview = slot;
}

void guiDrawCommsReplyPreview(WindowHandle* window)
{
    const int32_t slot = gDialogue.preview;
    const DialogueNode* node = slot >= 0 && slot < kCommsReplySlots ? gDialogue.slots[slot].node : nullptr;
    window->text = node ? node->label.c_str() : kNoPreview;
    guiDrawStringWindow(window);
    gDialogue.preview = -1;
}

void guiClickCommsReply(WindowHandle* window)
{
    const int32_t slot = WindowSlot(window);
    if (slot < 0 || gDialogue.callerListOpen || !gDialogue.slots[slot].node)
        return;
    const OfferedReply reply = gDialogue.slots[slot];
    Conversation& c = *reply.conversation;
    DialogueNode* node = reply.node;
    node->flags |= kNodeTaken;
    gDialogue.commsPartner = (node->flags & kNodePlayer) ? nullptr : c.partner;
    c.current = After(c, node);
    c.flags &= ~kConversationWaiting;
    SpeakLine(c, *node);
    WithdrawReplies(&c);
    gDialogue.callerListOpen = 0;
    guiFillCommsReplies(gDialogue.caller);
}
