#include "RenderOutput.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "EndingSignals.h"
#include "FileOpen.h"
#include "FileReplace.h"
#include "OrgSongTypes.h"
#include "OutputPlatform.h"

namespace {

// The temporary files being written, for the signal handler: a render with stems writes one per
// track beside the mix. Each slot is a plain buffer, set only while its flag is clear, since a
// handler may run between any two instructions.
constexpr int TEMPORARY_SLOTS = 1 + Org::TRACK_COUNT;
char g_TemporaryPath[TEMPORARY_SLOTS][4096];
volatile std::sig_atomic_t g_HaveTemporary[TEMPORARY_SLOTS] = {};

void RemoveTemporaryAndDie(int p_Signal)
{
    for (int l_Slot = 0; l_Slot < TEMPORARY_SLOTS; ++l_Slot)
        if (g_HaveTemporary[l_Slot])
            RemoveFromHandler(g_TemporaryPath[l_Slot]);
    DieOfSignal(p_Signal);
}

// Names p_Path to the handler in a free slot; -1 when none is free or the name is too long.
int HoldTemporary(const std::string& p_Path)
{
    for (int l_Slot = 0; l_Slot < TEMPORARY_SLOTS; ++l_Slot)
        if (!g_HaveTemporary[l_Slot] && p_Path.size() < sizeof(g_TemporaryPath[l_Slot])) {
            std::memcpy(g_TemporaryPath[l_Slot], p_Path.c_str(), p_Path.size() + 1);
            g_HaveTemporary[l_Slot] = 1;
            return l_Slot;
        }
    return -1;
}

void ReleaseTemporary(int& p_Slot)
{
    if (p_Slot >= 0)
        g_HaveTemporary[p_Slot] = 0;
    p_Slot = -1;
}

// Removes the temporary file on the signals that end a render.
void RemoveTemporaryOnSignals()
{
    static bool s_Installed = false;
    if (s_Installed)
        return;
    s_Installed = true;
    CatchEndingSignals(RemoveTemporaryAndDie);
}

std::string TerminalRefusal(const OutputWords& p_Words)
{
    return std::string(" is a terminal; ") + p_Words.data +
           " is not written to one (redirect it, or give --force)";
}

std::string NeverWritten(const OutputWords& p_Words)
{
    return std::string(" is ") + p_Words.input + "; it is never written over";
}

}  // namespace

SongIdentity IdentifySong(const std::string& p_SongPath)
{
    return p_SongPath == "-" ? IdentifyDescriptor(STDIN_FILENO) : IdentifyPath(p_SongPath);
}

std::string DefaultOutputName(const std::string& p_SongPath, const std::string& p_Extension)
{
    std::string l_Name = p_SongPath == "-" ? std::string() : PathFileName(p_SongPath);
    const std::size_t l_Dot = l_Name.rfind('.');
    if (l_Dot != std::string::npos && l_Dot > 0)
        l_Name.erase(l_Dot);
    return (l_Name.empty() ? std::string("song") : l_Name) + "." + p_Extension;
}

bool RenderOutput::Allowed(const std::string& p_Path, const SongIdentity& p_Input, bool p_Force,
                           std::string& p_Error, const OutputWords& p_Words)
{
    if (p_Path == "-") {
        if (SameFile(IdentifyDescriptor(STDOUT_FILENO), p_Input)) {
            p_Error = "standard output" + NeverWritten(p_Words);
            return false;
        }
        if (!p_Force && isatty(STDOUT_FILENO)) {
            p_Error = "standard output" + TerminalRefusal(p_Words);
            return false;
        }
        return true;
    }
    Org::FileTarget l_Target;
    if (!Org::FindFileTarget(p_Path, l_Target, p_Error)) {
        p_Error = "cannot write " + p_Path + ": " + p_Error;
        return false;
    }
    // By any name: a hard link, a symbolic link, /dev/stdout sent to the song.
    if (SameFile(IdentifyPath(p_Path), p_Input)) {
        p_Error = p_Path + NeverWritten(p_Words);
        return false;
    }
    if (l_Target.existed && !p_Force) {
        p_Error = p_Path + " exists; give --force to replace it";
        return false;
    }
    return true;
}

bool RenderOutput::Open(const std::string& p_Path, const SongIdentity& p_Input, bool p_Force,
                        std::string& p_Error, const OutputWords& p_Words)
{
    Abandon();
    if (!Allowed(p_Path, p_Input, p_Force, p_Error, p_Words))
        return false;
    if (p_Path == "-") {
        BinaryStandardOutput();
        fd = STDOUT_FILENO;
        return true;
    }
    Org::FileTarget l_Target;
    if (!Org::FindFileTarget(p_Path, l_Target, p_Error)) {
        p_Error = "cannot write " + p_Path + ": " + p_Error;
        return false;
    }
    if (!l_Target.viaTemporary) {
        fd = OpenToWrite(l_Target.path, 0);
        if (fd < 0) {
            p_Error = "cannot write " + p_Path + ": " + std::strerror(errno);
            return false;
        }
        ownsFd = true;
        // A terminal named as a device (/dev/tty) is refused as standard output on one is.
        if (!p_Force && isatty(fd)) {
            Abandon();
            p_Error = p_Path + TerminalRefusal(p_Words);
            return false;
        }
        return true;
    }
    // The handler is in place before the temporary exists, and learns its name before a signal can
    // reach it.
    RemoveTemporaryOnSignals();
    const EndingSignalsHeld l_Held;
    fd = Org::CreateTemporaryDescriptor(l_Target, temporary, p_Error);
    if (fd < 0) {
        p_Error = "cannot write " + p_Path + ": " + p_Error;
        temporary.clear();
        return false;
    }
    ownsFd = true;
    target = l_Target;
    slot = HoldTemporary(temporary);
    return true;
}

bool RenderOutput::Commit(std::string& p_Error)
{
    int l_Errno = 0;
    if (ownsFd && close(fd) != 0)
        l_Errno = errno;
    fd = -1;
    ownsFd = false;
    if (temporary.empty() && l_Errno == 0)
        return true;
    if (l_Errno != 0) {
        p_Error = std::strerror(l_Errno);
        Abandon();
        return false;
    }
    // CommitTemporary removes the temporary when it fails.
    const bool l_Done = Org::CommitTemporary(temporary, target, p_Error);
    ReleaseTemporary(slot);
    temporary.clear();
    return l_Done;
}

void RenderOutput::Abandon()
{
    if (ownsFd)
        close(fd);
    fd = -1;
    ownsFd = false;
    if (!temporary.empty()) {
        ReleaseTemporary(slot);
        Org::RemoveFile(temporary);
        temporary.clear();
    }
}
