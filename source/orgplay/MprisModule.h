#ifndef TUNEWRIGHT_MPRISMODULE_H
#define TUNEWRIGHT_MPRISMODULE_H

// Inside the bus's module: the media player's two objects on a connection, and their signals
// (MprisObjects.cpp).
#include <gio/gio.h>

#include <vector>

#include "MprisBus.h"

// Registers the objects for p_Bus on p_Connection, their ids into p_Registrations.
bool RegisterObjects(GDBusConnection* p_Connection, Mpris::Bus& p_Bus, std::vector<guint>& p_Registrations);
void UnregisterObjects(GDBusConnection* p_Connection, std::vector<guint>& p_Registrations);
void EmitChanges(GDBusConnection* p_Connection, unsigned p_Changes, const MprisView& p_View,
                 unsigned long p_SeekedMs);

#endif
