// Host services: what the game needs of the operating system beyond files
// and the window. The single-instance lock, the performance counter, memory
// status, drives and their volumes, the current directory, the console, the
// debugger's output, message boxes, the clipboard and loadable modules.
//
// Texts passed in are code page 1252, as everywhere inside the game; they
// are converted to UTF-8 only here, where they leave the program.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The single-instance lock: a lock file named after `name` and the user in
// a folder private to the user ($KELVANDRIST_LOCK_DIR when set, else
// $XDG_RUNTIME_DIR, else kelvandrist/ under the user's cache folder, made
// 0700). The file is opened without following links. Once acquired it is
// held until the process ends. When it fails, `problem` says which path
// and why; when another process holds it, `problem` is the lock's path.
enum class InstanceLock {
    Acquired,
    AlreadyHeld,
    Failed
};
InstanceLock AcquireInstanceLock(const char* name, std::string* problem = nullptr);

// A monotonic counter and its frequency in counts per second.
uint64_t PerformanceCounter();
uint64_t PerformanceFrequency();

// Available physical memory and available swap, in bytes.
struct MemoryStatus {
    uint64_t availablePhysical = 0;
    uint64_t availablePageFile = 0;
};
MemoryStatus QueryMemoryStatus();

// Drives: the game names files on removable discs by drive letter. Each
// letter A to Z maps to a folder of the host. By default the CD-ROM drives
// are the mounted ISO 9660 and UDF file systems, lettered from D in the order
// they are mounted; $KELVANDRIST_DRIVES ("E=/media/cdrom:cdrom;H=/srv/h")
// replaces that table. Tests set their own with SetDrive.
enum class DriveType : uint8_t {
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5
};
DriveType QueryDriveType(char letter);
// The host folder of a drive letter; false when the letter is not mapped.
bool DriveRoot(char letter, std::string& root);
void SetDrive(char letter, DriveType type, const char* root); // root null unmaps
// The folders of the disc file systems (ISO 9660, UDF) in a mount table of
// the form of /proc/mounts, in table order, with the table's octal escapes
// ("\040" for a blank) decoded.
std::vector<std::string> DiscMountFolders(std::string_view mountTable);
void ResetDrives(); // back to the default table

struct VolumeInfo {
    std::string name; // the folder's last component, or "/"
    uint32_t serialNumber = 0;
    uint32_t maxComponentLength = 0;
    uint32_t flags = 0;
};
bool QueryVolumeInfo(const char* folder, VolumeInfo& info);

bool SetCurrentDirectory(const char* folder);
std::string CurrentDirectory();

// The console is the process's standard output.
void ConsoleWrite(const char* text);

// Text for an attached debugger (standard error here).
void DebuggerOutput(const char* text);
bool DebuggerAttached();
void DebuggerBreak(); // raises SIGTRAP

// A modal message box with one OK button: SDL's when a display is reachable
// (SDL's video runs on a real one, or it is not started and the environment
// names one), standard error otherwise.
enum class MessageBoxIcon {
    Information,
    Warning,
    Error
};
void ShowMessageBox(const char* text, const char* title, MessageBoxIcon icon);
// A box with Yes and No: SDL's box when a display is reachable, also in a
// program that never started SDL's video. True only when Yes was chosen;
// without a display the question goes to standard error and the answer is
// No.
bool AskYesNo(const char* text, const char* title);

// Plain text on the clipboard; false when there is no clipboard.
bool SetClipboardText(const char* text);

// Shared objects (dlopen). Names use the host's own spelling.
void* LoadModule(const char* path);
// The folder that holds the running program (no trailing '/'); "." when it
// cannot be told.
std::string ProgramFolder();
void* ModuleSymbol(void* module, const char* name);
void UnloadModule(void* module);

// Code page 1252 to UTF-8, for texts that leave the program.
std::string Cp1252ToUtf8(const char* text);
// UTF-8 to code page 1252 ('?' for what it cannot hold).
std::string Utf8ToCp1252(const char* text);

} // namespace platform
