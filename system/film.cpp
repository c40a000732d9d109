// The film player. See film.h.
#include "system/film.h"

#include "platform/display.h"
#include "platform/film.h"
#include "platform/window.h"
#include "platform/files.h"
#include "screens/bridge.h"
#include "script/interpreter.h"
#include "system/datalocation.h"
#include "system/display.h"
#include "system/errors.h"
#include "system/frameclock.h"
#include "system/input.h"
#include "system/mainwindow.h"
#include "system/settings.h"
#include "system/sound.h"
#include "system/trace.h"
#include "ui/screens.h"
#include "ui/windows.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

void TraceFile(const char* event, const char* name)
{
    char quoted[300];
    if (TraceOn())
        TraceLine(event, "%s", TraceQuoted(name, quoted, sizeof quoted));
}

} // namespace

namespace {

constexpr size_t kShortNameLength = 12;
constexpr int kDoubledWidth = 320;

// Keys that end a full-screen film while one waits in the queue: Esc, F1
// to F4, Q (key-state entries).
constexpr int kFilmStopKeys[] = {1, 59, 60, 61, 62, 16};

// The full-screen film.
struct FullScreenFilm {
    platform::Film* film = nullptr;
    uint8_t fullScreen = 0;       // this film owns the screen
    uint8_t firstFrame = 0;       // clear the screen before the first frame
    uint8_t pixelDouble = 0;      // 320 wide: shown at twice the size
    std::vector<uint8_t> buffer;  // the doubling buffer (A) or off-screen surface (B)
    int offsetX = 0, offsetY = 0; // centring on the screen
    GamePalette gamePalette{};    // the game's palette when the film started
};
FullScreenFilm gFull;

std::string gFilmPath;

platform::FilmSound FilmSoundSetting()
{
    return gSettings.sound ? platform::FilmSound::On : platform::FilmSound::Off;
}

// Opens a film file; one that cannot be played is named with why, and the
// game goes on without it; one cut short is named and played up to the cut.
platform::Film* OpenFilmFile(const char* path, platform::FilmSound sound = FilmSoundSetting())
{
    platform::Film* film = platform::FilmOpen(path, sound);
    if (!film) {
        const char* reason = platform::DataFileFailure();
        ReportDataFileFailure(path, *reason ? reason : "truncated or not a film that can be played");
    } else if (platform::FilmCutShort(film)) {
        ReportDataFileFailure(path, "cut short: it ends before its last frame, which it plays up to");
    }
    return film;
}

const FilmDriver& Driver()
{
    return gFilmPlayer == FilmPlayer::Surface ? kSurfaceFilmDriver : kCanvasFilmDriver;
}

// Copies rows of a width x height picture into the canvas at (x, y), cut
// to the canvas and to `clip`; with `skipZero` pixels of 0 stay as they are.
void CopyToCanvas(const Canvas& canvas, const uint8_t* pixels, int width, int height, int x, int y,
                  const ClipRect& clip, bool skipZero)
{
    if (!canvas.pixels)
        return;
    const int left = std::max<int>({0, clip.left, x}), top = std::max<int>({0, clip.top, y});
    const int right = std::min<int>({canvas.rowLength - 1, clip.right, x + width - 1});
    const int bottom = std::min<int>({canvas.height - 1, clip.bottom, y + height - 1});
    for (int row = top; row <= bottom; ++row) {
        const uint8_t* from = pixels + static_cast<ptrdiff_t>(row - y) * width + (left - x);
        uint8_t* to = canvas.pixels + static_cast<ptrdiff_t>(row) * canvas.rowLength + left;
        for (int col = left; col <= right; ++col, ++from, ++to)
            if (!skipZero || *from)
                *to = *from;
    }
}

// Shows a width x height picture at twice its size from the canvas's top
// left, cut to the canvas.
void DoubleToCanvas(const Canvas& canvas, const uint8_t* pixels, int width, int height)
{
    if (!canvas.pixels)
        return;
    const int rows = std::min(height, canvas.height / 2), cols = std::min(width, canvas.rowLength / 2);
    for (int y = 0; y < rows; ++y)
        for (int copy = 0; copy < 2; ++copy) {
            uint8_t* to = canvas.pixels + static_cast<ptrdiff_t>(2 * y + copy) * canvas.rowLength;
            const uint8_t* from = pixels + static_cast<ptrdiff_t>(y) * width;
            for (int x = 0; x < cols; ++x)
                to[2 * x] = to[2 * x + 1] = from[x];
        }
}

void PresentAndLock()
{
    DisplayPresent(gScreenMode);
    DisplayLock(gScreenMode);
}

// ---- table A: the screen canvas -----------------------------------------------------

void CloseFullScreen()
{
    platform::FilmClose(gFull.film);
    gFull.film = nullptr;
}

// Opens the full-screen film; the decode target follows from its width.
bool OpenFullScreen(const char* path)
{
    CloseFullScreen();
    gFull.fullScreen = 255;
    gFull.firstFrame = 255;
    gFull.pixelDouble = 0;
    gFull.buffer.clear();
    std::memcpy(gFull.gamePalette.entries, DisplayLastPalette(), sizeof gFull.gamePalette.entries);
    gFull.film = OpenFilmFile(path);
    if (!gFull.film)
        return false;
    const int w = platform::FilmWidth(gFull.film), h = platform::FilmHeight(gFull.film);
    gFull.pixelDouble = w == kDoubledWidth ? 255 : 0;
    gFull.offsetX = (gScreenMode.width - w) / 2;
    gFull.offsetY = (gScreenMode.height - h) / 2;
    return true;
}

int PlayCanvas(const char* path)
{
    if (!OpenFullScreen(path))
        return 0;
    if (gFull.pixelDouble)
        gFull.buffer.assign(static_cast<size_t>(platform::FilmWidth(gFull.film)) *
                                static_cast<size_t>(platform::FilmHeight(gFull.film)),
                            0);
    return 1;
}

// After the frame is shown: stop after the last frame (or a frame that
// cannot be decoded), else go on to the next.
int AdvanceFullScreen()
{
    const bool last = platform::FilmCurrentFrame(gFull.film) + 1 >= platform::FilmFrameCount(gFull.film);
    if (last || !platform::FilmNext(gFull.film)) {
        StopFilm();
        return 0;
    }
    return 1;
}

int StepCanvas()
{
    if (!gFull.film)
        return 0;
    if (gFull.firstFrame && !gFull.pixelDouble) {
        DisplayLock(gScreenMode);
        CanvasClear(ScreenCanvas(), 0);
        PresentAndLock();
    }
    gFull.firstFrame = 0;
    if (platform::FilmWaiting(gFull.film))
        return 1;
    if (platform::FilmPaletteChanged(gFull.film))
        TakeFilmPalette();
    DisplayLock(gScreenMode);
    const Canvas screen = ScreenCanvas();
    if (screen.pixels) {
        if (gFull.pixelDouble) {
            const int w = platform::FilmWidth(gFull.film), h = platform::FilmHeight(gFull.film);
            platform::FilmCopyFrame(gFull.film, gFull.buffer.data(), w, h, w, 0, 0);
            DoubleToCanvas(screen, gFull.buffer.data(), w, h);
        } else {
            platform::FilmCopyFrame(gFull.film, screen.pixels, screen.rowLength, screen.height, screen.rowLength,
                                    gFull.offsetX, gFull.offsetY);
        }
    }
    DisplayPresent(gScreenMode);
    return AdvanceFullScreen();
}

void StopFullScreen()
{
    CloseFullScreen();
    if (gLoopFlags.filmMode && gFull.fullScreen) {
        DisplayLock(gScreenMode);
        WindowHandle* root = gScreens.current->mainWindow;
        if (gFull.pixelDouble) {
            // The doubled film covered the root window's picture: it goes
            // back at once; the other windows draw themselves again on the
            // full redraw below.
            int32_t x = 0, y = 0;
            if (!gNoRedraw && root && root->bitmap && guiWindowRect(root, &x, &y))
                CanvasBlit(ScreenCanvas(), *root->bitmap, static_cast<int16_t>(x), static_cast<int16_t>(y));
            gFull.buffer.clear();
        } else {
            CanvasClear(ScreenCanvas(), 0);
        }
        PresentAndLock();
        // A root window that keeps the film's palette keeps it afterwards.
        if (!root || !(root->flags & kWindowKeepsPalette))
            DisplaySetPalette(gFull.gamePalette.entries);
        guiRequestFullRedraw();
    }
    gFull.fullScreen = 0;
    gLoopFlags.filmMode = 0;
}

// Entries 10-245 from the film, the system's entries from the game palette.
void TakeCanvasPalette()
{
    const platform::Film* film = gFull.film;
    if (!film)
        return;
    GamePalette p = gFull.gamePalette;
    const PaletteEntry* colours = platform::FilmPalette(film);
    for (int i = kFirstGameColour; i <= kLastGameColour; ++i)
        p.entries[i] = colours[i];
    DisplaySetPalette(p.entries);
}

// ---- clips (both tables) -------------------------------------------------------------

void CloseClipFilm(FilmClip& clip)
{
    platform::FilmClose(clip.film);
    clip.film = nullptr;
}

int OpenClipBoth(FilmClip** slot, const char* path, int32_t firstFrame, int32_t lastFrame, uint8_t transparent,
                 int32_t value)
{
    if (!slot)
        return 0;
    FilmClip* clip = *slot;
    if (firstFrame < 2 || !clip || !clip->film) {
        // A clip already in the slot is closed first, so nothing leaks.
        CloseClip(slot);
        platform::Film* film = OpenFilmFile(path);
        if (!film)
            return 0;
        clip = new FilmClip;
        clip->film = film;
        clip->width = static_cast<int16_t>(platform::FilmWidth(film));
        clip->height = static_cast<int16_t>(platform::FilmHeight(film));
        clip->pixels.assign(static_cast<size_t>(clip->width) * static_cast<size_t>(clip->height), 0);
        *slot = clip;
    }
    if (firstFrame > 0 && !platform::FilmGoTo(clip->film, firstFrame - 1)) {
        CloseClip(slot);
        return 0;
    }
    clip->startFrame = std::max(firstFrame, 1);
    if (lastFrame > 0)
        clip->lastFrame = lastFrame;
    else if (gScriptMission.briefingActive)
        clip->lastFrame = platform::FilmFrameCount(clip->film);
    else
        clip->lastFrame = 0;
    clip->transparent = transparent;
    clip->value = value;
    clip->finished = 0;
    clip->decoded = 0;
    return 1;
}

// Copies the clip's buffer into the screen centred in the rectangle.
void ShowClip(const FilmClip& clip, const ClipRect& rect)
{
    const int x = rect.left + (rect.right - rect.left + 1 - clip.width) / 2;
    const int y = rect.top + (rect.bottom - rect.top + 1 - clip.height) / 2;
    CopyToCanvas(ScreenCanvas(), clip.pixels.data(), clip.width, clip.height, x, y, rect, clip.transparent != 0);
}

int DrawClipBoth(FilmClip* clip, const ClipRect& rect)
{
    if (!clip || !clip->film)
        return 0;
    platform::Film* film = clip->film;
    const int number = platform::FilmCurrentFrame(film) + 1; // from 1
    if (clip->decoded && ((platform::FilmWaiting(film) && number > clip->startFrame) || gPanelHold)) {
        ShowClip(*clip, rect);
        return 1;
    }
    if (clip->finished) {
        // The last frame of this play was shown: it stays.
        ShowClip(*clip, rect);
        return 1;
    }
    if (platform::FilmPaletteChanged(film) && !clip->transparent)
        platform::FilmSetRemap(film, DisplayLastPalette());
    platform::FilmCopyFrame(film, clip->pixels.data(), clip->width, clip->height, clip->width, 0, 0);
    clip->decoded = 255;
    ShowClip(*clip, rect);
    if (clip->lastFrame > 0 && number >= clip->lastFrame) {
        clip->finished = 255;
        return 1;
    }
    if (number >= platform::FilmFrameCount(film) || !platform::FilmNext(film))
        CloseClipFilm(*clip); // the record stays for the caller's CloseClip
    return 1;
}

void CloseClipBoth(FilmClip** slot)
{
    if (!slot || !*slot)
        return;
    CloseClipFilm(**slot);
    delete *slot;
    *slot = nullptr;
}

int PlayBlockingCanvas(const char* path)
{
    if (!PlayCanvas(path))
        return 0;
    const uint8_t filmMode = gLoopFlags.filmMode;
    gLoopFlags.filmMode = 255;
    int quitCode = -1;
    for (;;) {
        WindowMessage message;
        if (PeekWindowMessage(message)) {
            if (message.kind == platform::Message::Quit) {
                quitCode = message.exitCode;
                break;
            }
            DispatchWindowMessage(message);
        } else if (!StepFilm()) {
            break;
        }
    }
    if (gFull.film)
        StopFilm();
    gLoopFlags.filmMode = filmMode;
    gFull.buffer.clear();
    // The quit is not swallowed: the frame loop sees it next.
    if (quitCode >= 0)
        platform::PostQuit(quitCode);
    return 1;
}

// ---- table B: an off-screen surface --------------------------------------------------

int PlaySurface(const char* path)
{
    if (!OpenFullScreen(path))
        return 0;
    gFull.buffer.assign(static_cast<size_t>(platform::FilmWidth(gFull.film)) *
                            static_cast<size_t>(platform::FilmHeight(gFull.film)),
                        0);
    return 1;
}

int StepSurface()
{
    if (!gFull.film)
        return 0;
    if (gFull.firstFrame) {
        DisplayLock(gScreenMode);
        CanvasClear(ScreenCanvas(), 0);
        PresentAndLock();
        gFull.firstFrame = 0;
    }
    if (platform::FilmWaiting(gFull.film))
        return 1;
    if (platform::FilmPaletteChanged(gFull.film))
        TakeFilmPalette();
    const int w = platform::FilmWidth(gFull.film), h = platform::FilmHeight(gFull.film);
    platform::FilmCopyFrame(gFull.film, gFull.buffer.data(), w, h, w, 0, 0);
    DisplayLock(gScreenMode);
    const Canvas screen = ScreenCanvas();
    if (gFull.pixelDouble)
        DoubleToCanvas(screen, gFull.buffer.data(), w, h);
    else
        CopyToCanvas(screen, gFull.buffer.data(), w, h, gFull.offsetX, gFull.offsetY, CanvasBounds(screen), false);
    DisplayPresent(gScreenMode);
    return AdvanceFullScreen();
}

void StopSurface()
{
    StopFullScreen();
    gFull.buffer.clear();
}

int PlayBlockingSurface(const char*)
{
    return 0;
}

// All film entries, then the system's entries from the game palette.
void TakeSurfacePalette()
{
    if (!gFull.film)
        return;
    GamePalette p;
    std::memcpy(p.entries, platform::FilmPalette(gFull.film), sizeof p.entries);
    for (int i = 0; i < kFirstGameColour; ++i)
        p.entries[i] = gFull.gamePalette.entries[i];
    for (int i = kLastGameColour + 1; i < kPaletteEntries; ++i)
        p.entries[i] = gFull.gamePalette.entries[i];
    DisplaySetPalette(p.entries);
}

// ---- the introduction's film window --------------------------------------------------

struct FilmWindow {
    bool exists = false;
    bool visible = false;
    int x = 0, y = 0, width = 0, height = 0;
    platform::Film* film = nullptr;
    const char* const* list = nullptr;
    int position = 0;
    std::vector<uint16_t> screen; // the whole screen in 5-6-5 pixels
};
FilmWindow gWindow;

void CloseWindowFilm()
{
    platform::FilmClose(gWindow.film);
    gWindow.film = nullptr;
}

} // namespace

const FilmDriver kCanvasFilmDriver = {
    .play = PlayCanvas,
    .step = StepCanvas,
    .openClip = OpenClipBoth,
    .drawClip = DrawClipBoth,
    .stop = StopFullScreen,
    .closeClip = CloseClipBoth,
    .playBlocking = PlayBlockingCanvas,
    .takePalette = TakeCanvasPalette,
};

const FilmDriver kSurfaceFilmDriver = {
    .play = PlaySurface,
    .step = StepSurface,
    .openClip = OpenClipBoth,
    .drawClip = DrawClipBoth,
    .stop = StopSurface,
    .closeClip = CloseClipBoth,
    .playBlocking = PlayBlockingSurface,
    .takePalette = TakeSurfacePalette,
};

std::string gFilmName;

const char* MakeFilmPath(const char* name)
{
    const std::string_view text(name);
    if (text.size() > kShortNameLength) {
        // A long name keeps its file name; one without '\' is a file name.
        const size_t slash = text.rfind('\\');
        gFilmPath = slash == std::string_view::npos ? gVideoFolder + "\\" + std::string(text)
                                                    : gVideoFolder + std::string(text.substr(slash));
    } else {
        gFilmPath = gVideoFolder + "\\" + std::string(text);
    }
    return gFilmPath.c_str();
}

int PlayFilm(const char* name)
{
    if (!name)
        return 0;
    gFilmName = name;
    if (!Driver().play(MakeFilmPath(name)))
        return 0;
    TraceFile("film", name);
    SoundPauseAll();
    return 1;
}

int StepFilm()
{
    const KeyStateBlock& keys = GetKeyStateBlock();
    if (KeyQueueCount() > 0 && std::any_of(std::begin(kFilmStopKeys), std::end(kFilmStopKeys),
                                           [&](int k) { return keys[static_cast<size_t>(k)] != 0; })) {
        StopFilm();
        ClearCommandOverlays();
        return 0;
    }
    return Driver().step();
}

int OpenClip(FilmClip** slot, const char* name, int32_t firstFrame, int32_t lastFrame, uint8_t transparent,
             int32_t value)
{
    if (!name)
        return 0;
    const int opened = Driver().openClip(slot, MakeFilmPath(name), firstFrame, lastFrame, transparent, value);
    if (opened)
        TraceFile("clip", name);
    return opened;
}

int DrawClip(FilmClip* clip, const ClipRect& rect)
{
    return Driver().drawClip(clip, rect);
}

void StopFilm()
{
    Driver().stop();
    SoundResumeAll();
}

void CloseClip(FilmClip** slot)
{
    Driver().closeClip(slot);
}

int PlayFilmBlocking(const char* name)
{
    if (!name)
        return 0;
    gFilmName = name;
    SoundPauseAll();
    const int played = Driver().playBlocking(MakeFilmPath(name));
    if (!played)
        SoundResumeAll();
    return played;
}

void TakeFilmPalette()
{
    Driver().takePalette();
}

bool FullScreenFilmOpen()
{
    return gFull.film != nullptr;
}

LoopClip* OpenLoopClip(const char* name)
{
    if (!name)
        return nullptr;
    platform::Film* film = OpenFilmFile(MakeFilmPath(name), platform::FilmSound::Off);
    if (!film)
        return nullptr;
    auto* clip = new LoopClip;
    clip->film = film;
    clip->width = static_cast<int16_t>(platform::FilmWidth(film));
    clip->height = static_cast<int16_t>(platform::FilmHeight(film));
    return clip;
}

int DecodeLoopClip(LoopClip* clip, uint8_t* buffer)
{
    if (!clip || !clip->film || !buffer)
        return 0;
    platform::Film* film = clip->film;
    if (platform::FilmWaiting(film))
        return 1;
    if (platform::FilmPaletteChanged(film))
        platform::FilmSetRemap(film, DisplayLastPalette());
    platform::FilmCopyFrame(film, buffer, clip->width, clip->height, clip->width, 0, 0);
    if (platform::FilmCurrentFrame(film) + 1 >= platform::FilmFrameCount(film) || !platform::FilmNext(film))
        platform::FilmGoTo(film, 0);
    return 1;
}

void CloseLoopClip(LoopClip* clip)
{
    if (!clip)
        return;
    platform::FilmClose(clip->film);
    delete clip;
}

void CreateFilmWindow()
{
    gWindow.exists = gWindow.visible = true;
    gWindow.x = 0;
    gWindow.y = gSettings.demo ? 0 : 104;
    gWindow.width = gSettings.demo ? 320 : 640;
    gWindow.height = gSettings.demo ? 240 : 272;
    gWindow.screen.assign(static_cast<size_t>(gScreenMode.width) * static_cast<size_t>(gScreenMode.height), 0);
}

int PlayMciFilm(const char* path)
{
    gLoopFlags.mciFilmPlaying = 255;
    if (!gWindow.exists)
        CreateFilmWindow();
    CloseWindowFilm();
    gWindow.film = OpenFilmFile(path);
    if (gWindow.film)
        TraceFile("film-window", path);
    return gWindow.film != nullptr;
}

void PlayNextListedFilm()
{
    if (gWindow.list && gWindow.list[gWindow.position]) {
        PlayMciFilm(gWindow.list[gWindow.position]);
        ++gWindow.position;
        return;
    }
    CloseWindowFilm();
    gLoopFlags.filmMode = 0;
    gLoopFlags.mciFilmPlaying = 0;
    gLoopFlags.quitRequest = 255;
    gSettings.intro = 0;
}

int PlayFilmList(const char* const* list)
{
    if (!list || !list[0] || !platform::DataFileExists(list[0]))
        return 0;
    ShowMainCursor(false);
    gWindow.position = 0;
    gLoopFlags.mciFilmPlaying = 255;
    if (!gWindow.exists)
        CreateFilmWindow();
    gWindow.list = list;
    PlayNextListedFilm();
    return gWindow.exists;
}

void CloseFilmWindow()
{
    CloseWindowFilm();
    gWindow.exists = false;
    gWindow.visible = false;
}

bool FilmWindowVisible()
{
    return gWindow.exists && gWindow.visible;
}

void ServiceFilmWindow()
{
    if (!gWindow.film) {
        if (gWindow.exists && gLoopFlags.mciFilmPlaying) {
            WindowMessage stopped; // a film that did not open stops at once
            stopped.kind = platform::Message::FilmStopped;
            DispatchWindowMessage(stopped);
        }
        return;
    }
    if (platform::FilmWaiting(gWindow.film))
        return;
    const int pitch = gScreenMode.width;
    uint16_t* at = gWindow.screen.data() + static_cast<ptrdiff_t>(gWindow.y) * pitch + gWindow.x;
    platform::FilmCopyFrame565(gWindow.film, at, gWindow.width, gWindow.height, pitch * 2);
    platform::Present565(gWindow.screen.data(), pitch * 2);
    const bool last = platform::FilmCurrentFrame(gWindow.film) + 1 >= platform::FilmFrameCount(gWindow.film);
    if (last || !platform::FilmNext(gWindow.film)) {
        CloseWindowFilm();
        WindowMessage stopped;
        stopped.kind = platform::Message::FilmStopped;
        DispatchWindowMessage(stopped);
    }
}

void FilmWindowStopped()
{
    if (gSettings.intro) {
        PlayNextListedFilm();
        return;
    }
    CloseWindowFilm();
    gLoopFlags.filmMode = 0;
    gLoopFlags.mciFilmPlaying = 0;
}
