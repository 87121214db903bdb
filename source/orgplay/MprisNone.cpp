// Mpris when built without GLib: the player plays without the session bus.
#include "Mpris.h"

struct Mpris::Bus
{
};

Mpris::Mpris() = default;
Mpris::~Mpris() = default;
void Mpris::Start() {}
int Mpris::WakeFd() const { return -1; }
std::vector<PlayCommand> Mpris::TakeCommands() { return {}; }
void Mpris::SetTrack(const MprisTrack&) {}
void Mpris::SetPlayback(const MprisPlayback&) {}
void Mpris::Seeked(unsigned long) {}
