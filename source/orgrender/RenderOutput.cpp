#include "RenderOutput.h"

#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "FileOpen.h"
#include "FileReplace.h"
#include "OutputPlatform.h"

namespace {

// The partial file being written, for the signal handler: a plain buffer, set only while the
// flag is clear, since a handler may run between any two instructions.
char g_PartialPath[4096];
volatile std::sig_atomic_t g_HavePartial = 0;

void RemovePartialAndExit(int p_Signal)
{
    if (g_HavePartial)
        RemoveFromHandler(g_PartialPath);
    _exit(128 + p_Signal);
}

// Removes the partial file on the signals that end a render.
void RemovePartialOnSignals()
{
    static bool s_Installed = false;
    if (s_Installed)
        return;
    s_Installed = true;
    OnEndingSignals(RemovePartialAndExit);
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
                           std::string& p_Error)
{
    if (p_Path == "-") {
        if (SameFile(IdentifyDescriptor(STDOUT_FILENO), p_Input)) {
            p_Error = "standard output is the song being rendered; it is never written over";
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
        p_Error = p_Path + " is the song being rendered; it is never written over";
        return false;
    }
    if (l_Target.existed && !p_Force) {
        p_Error = p_Path + " exists; give --force to replace it";
        return false;
    }
    return true;
}

bool RenderOutput::Open(const std::string& p_Path, const SongIdentity& p_Input, bool p_Force,
                        std::string& p_Error)
{
    Abandon();
    if (!Allowed(p_Path, p_Input, p_Force, p_Error))
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
    } else {
        partial = l_Target.path + ".partial";
        target = l_Target.path;
        existed = l_Target.existed;
        mode = l_Target.mode;
        if (partial.size() < sizeof(g_PartialPath)) {
            g_HavePartial = 0;
            std::memcpy(g_PartialPath, partial.c_str(), partial.size() + 1);
            g_HavePartial = 1;
            RemovePartialOnSignals();
        }
        fd = OpenToWrite(partial, O_CREAT | O_TRUNC | OPEN_NO_FOLLOW);
    }
    if (fd < 0) {
        p_Error = "cannot write " + p_Path + ": " + std::strerror(errno);
        partial.clear();
        g_HavePartial = 0;
        return false;
    }
    ownsFd = true;
    return true;
}

bool RenderOutput::Commit(std::string& p_Error)
{
    int l_Errno = 0;
    if (ownsFd && close(fd) != 0)
        l_Errno = errno;
    fd = -1;
    ownsFd = false;
    if (partial.empty() && l_Errno == 0)
        return true;
    if (l_Errno != 0) {
        p_Error = std::strerror(l_Errno);
        Abandon();
        return false;
    }
    // CommitTemporary removes the partial file when it fails.
    const Org::FileTarget l_Target = {target, true, existed, mode};
    const bool l_Done = Org::CommitTemporary(partial, l_Target, p_Error);
    g_HavePartial = 0;
    partial.clear();
    return l_Done;
}

void RenderOutput::Abandon()
{
    if (ownsFd)
        close(fd);
    fd = -1;
    ownsFd = false;
    if (!partial.empty()) {
        g_HavePartial = 0;
        Org::RemoveFile(partial);
        partial.clear();
    }
}
