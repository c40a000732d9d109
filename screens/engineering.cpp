// The engineering panel's routines bound by the window statements.
// The ship-system element callbacks are real; the panel's own routines
// are stand-ins that only record their call (system/calltrace.h) until
// the panel is built.
#include "screens/engineering.h"

#include "system/calltrace.h"
#include "system/rasterfont.h"
#include "system/res/resman.h"
#include "system/settings.h"
#include "ui/windows.h"
#include "world/shipsystems.h"

#include <algorithm>
#include <cstring>

void SelectReactorSystem()
{
    RecordCall("SelectReactorSystem");
}

WindowHandle* guiLinkShipSystemElement(WindowHandle* element, const char* systemName)
{
    RecordCall("guiLinkShipSystemElement");
    return {};
}

void guiToggleSystemPower(WindowHandle* window)
{
    ShipSystem* system = gEngPanel.selectedSystem;
    if (!system || !window)
        return;
    system->switchedOn = system->switchedOn ? 0 : 255;
    window->check = system->switchedOn;
    guiRedrawWindowAndChildren(window);
}

void guiToggleElement(WindowHandle* window)
{
    if (!window)
        return;
    window->check = window->check ? 0 : 255;
    guiRedrawWindowAndChildren(window->parent ? window->parent : window);
}

namespace {

// The text a text element shows, or null.
const char* ElementText(const WindowHandle* window)
{
    return window->textResource ? static_cast<const char*>(ResGet(window->textResource)) : nullptr;
}

// The panel width in characters' pixels: each glyph's advance plus one.
int32_t CharacterWidth(const RasterFont* font, char c)
{
    return (font ? font->widths[static_cast<uint8_t>(c)] : 8) + 1;
}

bool LineEnd(char c) { return c == '\n' || c == '\r'; }
// A word starts after a blank or a line end.
bool Blank(char c) { return c == ' ' || LineEnd(c); }

const RasterFont* ElementFont(const WindowHandle* window)
{
    return window->font && window->font->data ? static_cast<const RasterFont*>(window->font->data) : nullptr;
}

void SetSystemValue(WindowHandle* window, float value, float scale)
{
    window->value = value;
    window->maximum = scale;
}

} // namespace

uint8_t gAmInjectorShown = 0;

void guiTextScrollBack(WindowHandle* window)
{
    const char* text = window ? ElementText(window) : nullptr;
    if (!text)
        return;
    const int32_t length = static_cast<int32_t>(std::strlen(text));
    int32_t at = std::clamp(static_cast<int32_t>(window->maximum), 0, length);
    for (int32_t used = 0; at > 0 && used < window->width; --at)
        if (!LineEnd(text[at - 1]))
            used += CharacterWidth(ElementFont(window), text[at - 1]);
    while (at > 0 && !Blank(text[at - 1]))
        --at;
    window->maximum = static_cast<float>(at);
    guiRedrawWindowAndChildren(window);
}

void guiTextScrollForward(WindowHandle* window)
{
    const char* text = window ? ElementText(window) : nullptr;
    if (!text)
        return;
    const int32_t length = static_cast<int32_t>(std::strlen(text));
    const int32_t from = std::clamp(static_cast<int32_t>(window->maximum), 0, length);
    int32_t at = from;
    for (int32_t used = 0; at < length && used < window->width; ++at)
        if (!LineEnd(text[at]))
            used += CharacterWidth(ElementFont(window), text[at]);
    if (at < length) {
        int32_t word = at;
        while (word > from && !Blank(text[word - 1]))
            --word;
        if (word > from)
            at = word;
    }
    window->maximum = static_cast<float>(at);
    guiRedrawWindowAndChildren(window);
}

void guiSystemOutputDraw(WindowHandle* window)
{
    if (!window)
        return;
    if (const ShipSystem* system = gEngPanel.selectedSystem) {
        const unsigned language = gSettings.language <= 2 ? gSettings.language : 0;
        window->text = system->names[language];
        gAmInjectorShown = system == FindShipSystem("AM INJECTOR") ? 255 : 0;
        SetSystemValue(window, system->output * 1000.0f, 1000.0f);
    }
    guiTickWindow(window);
}

void guiSystemHealthDraw(WindowHandle* window)
{
    if (!window)
        return;
    if (const ShipSystem* system = gEngPanel.selectedSystem)
        SetSystemValue(window, system->health * 1000.0f, 1000.0f);
    guiTickWindow(window);
}

void guiSystemTemperatureDraw(WindowHandle* window)
{
    if (!window)
        return;
    if (const ShipSystem* system = gEngPanel.selectedSystem)
        SetSystemValue(window, system->temperature, 2500.0f);
    guiTickWindow(window);
}

void guiSystemLevelDraw(WindowHandle* window)
{
    if (!window)
        return;
    if (const ShipSystem* system = gEngPanel.selectedSystem)
        SetSystemValue(window, system->level, 2500.0f);
    guiTickWindow(window);
}

void guiSelectedSystemDraw(WindowHandle* window)
{
    if (window)
        guiTickWindow(window);
}

void guiPlainElementDraw(WindowHandle* window)
{
    if (!window)
        return;
    guiRedrawWindowAndChildren(window);
    guiTickWindow(window);
}

EngineeringPanel gEngPanel = {.selectedSystem = nullptr, .layerMask = 0, .selectedTab = 1, .layerLabels = {}};
