// The statements that give a ship its engine and lights, show a counter on
// the HUD, play sounds and hang actions on events: ENGINE, LIGHT, LIGHTS,
// HUD_STRING, PLAYSOUND, ATTACH_SND, DO_WHEN and PLAY_WHEN.
//
// The flight model, the marker lights, the sound slots and the Actions
// belong to their own modules; these statements only fill them. Every
// statement reads all its operands before it acts.
#include "script/interpreter.h"
#include "script/keywords.h"
#include "script/operands.h"
#include "script/symbols.h"
#include "system/res/resman.h"
#include "system/sound.h"
#include "ui/hud.h"
#include "view/markerlights.h"
#include "view/particles.h"
#include "world/actions.h"
#include "world/pools.h"
#include "world/records.h"

namespace {

// ATTACH_SND starts its sound silent: positional sound gives it a volume.
constexpr int32_t kSilentVolume = -10000;
constexpr int32_t kLoopForever = 255;

SceneItem* ReadObject(uint32_t& position)
{
    return SymbolObject(ReadTypedSymbol(position, kSymbolSceneItem));
}

// A sound resource operand's slot, or null when the symbol holds none.
SoundSlot* ReadSoundOperand(uint32_t& position)
{
    Resource* resource = SymbolResource(ReadTypedSymbol(position, kSymbolResource));
    return resource ? static_cast<SoundSlot*>(ResGet(resource)) : nullptr;
}

// ENGINE object acceleration second growth ldsTop roll pitch yaw speed: the
// ship's motion limits and their unscaled copy; an object without a
// ShipInfo gets a flight model of its own (freed with the mission).
void Engine(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    float v[8];
    for (float& value : v)
        value = ReadNumberOperand(position);
    if (!item || !item->sim)
        return;
    FlightModel* model = nullptr;
    if (ShipInfo* info = item->sim->shipInfo) {
        model = &info->flightModel;
    } else {
        // Kept on the list of stand-alone models that the mission's end frees.
        model = NewFlightModel(0, 0, 0, 0, 0, 0);
        if (!model)
            return;
        item->sim->flightModel = model;
    }
    InitFlightModel(model, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
    if (ShipInfo* info = item->sim->shipInfo)
        info->baseFlightModel = info->flightModel;
}

// LIGHT object x y z size colour on off phase: one blinking marker light.
void Light(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    Vector3 offset;
    offset.x = ReadNumberOperand(position);
    offset.y = ReadNumberOperand(position);
    offset.z = ReadNumberOperand(position);
    const float size = ReadNumberOperand(position);
    int32_t v[4];
    for (int32_t& value : v)
        value = ScriptNumberToInt(ReadNumberOperand(position));
    if (item)
        AddMarkerLight(item, &offset, size, v[0], v[1], v[2], v[3]);
}

// LIGHTS object ON | OFF: the ship's marker lights shown or hidden, and its
// engine allowed to stop (OFF); it can be damaged again either way.
void Lights(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    const bool off = ReadKeywordOperand(position, kw::ON, kw::OFF) == 1;
    if (!item || !item->sim)
        return;
    Sim& sim = *item->sim;
    sim.flags &= ~kSimNoDamage;
    TDP* root = item->avatar ? item->avatar->root : nullptr;
    ParticleEmitter* lights = root && root->firstChild ? root->firstChild->emitter : nullptr;
    if (off) {
        sim.flags |= kSimNoMinimumEngine;
        if (lights)
            lights->flags |= kEmitterHidden;
    } else {
        sim.flags &= ~kSimNoMinimumEngine;
        if (lights)
            lights->flags &= ~kEmitterHidden;
    }
}

// HUD_STRING n number [ON | OFF]: the HUD shows text n with the number's
// value; OFF removes it.
void HudString(uint32_t& position)
{
    const int32_t text = ScriptNumberToInt(ReadNumberOperand(position));
    const int32_t value = SymbolIntegerValue(ReadTypedSymbol(position, kSymbolNumber));
    const bool off = ReadOptionalKeyword(position, kw::ON, kw::OFF) == 1;
    gHudStringNumber = off ? 0 : text;
    gHudWatchedNumber = off ? 0 : value;
}

// PLAYSOUND sound [volume frequency pan]: played once.
void PlaySound(uint32_t& position)
{
    SoundSlot* slot = ReadSoundOperand(position);
    const int32_t volume = ScriptNumberToInt(ReadOptionalNumber(position));
    const int32_t frequency = ScriptNumberToInt(ReadOptionalNumber(position));
    const int32_t pan = ScriptNumberToInt(ReadOptionalNumber(position));
    if (!slot)
        return;
    slot->volume = volume;
    SoundStart(slot, volume, frequency, pan, 0);
}

// ATTACH_SND object sound: the sound loops, heard from the object's place.
void AttachSnd(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    SoundSlot* slot = ReadSoundOperand(position);
    if (!item || !item->avatar || !slot)
        return;
    item->avatar->soundSlot = slot;
    slot->owner = item;
    SoundStart(slot, kSilentVolume, 0, 0, kLoopForever);
}

// DO_WHEN object event action: the built-in callback runs when the event
// happens to the object.
void DoWhen(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    const int32_t event = ReadKeywordOperand(position, kw::AT_DISMANTLE, kw::AT_ENT_LDS);
    const int16_t action = static_cast<int16_t>(ReadKeywordOperand(position, kw::AF_ADD_VENT, kw::AF_BIG_ANTIMATTER_EXP));
    if (item)
        AddAction(item, static_cast<uint32_t>(event), kActionCallback, &action);
}

// PLAY_WHEN object event film: the film plays when the event happens to
// the object.
void PlayWhen(uint32_t& position)
{
    SceneItem* item = ReadObject(position);
    const int32_t event = ReadKeywordOperand(position, kw::AT_DISMANTLE, kw::AT_ENT_LDS);
    Resource* film = SymbolResource(ReadTypedSymbol(position, kSymbolResource));
    if (item && film)
        AddAction(item, static_cast<uint32_t>(event), kActionFilm, film);
}

constexpr StatementRow kGearRows[] = {
    {kw::ENGINE, Engine},
    {kw::LIGHT, Light},
    {kw::LIGHTS, Lights},
    {kw::HUD_STRING, HudString},
    {kw::PLAYSOUND, PlaySound},
    {kw::ATTACH_SND, AttachSnd},
    {kw::DO_WHEN, DoWhen},
    {kw::PLAY_WHEN, PlayWhen},
};

} // namespace

std::span<const StatementRow> GearStatementRows()
{
    return kGearRows;
}
