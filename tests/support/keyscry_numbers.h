// Keyscry's limits and ids, which a user or the platform sees, written out
// here once rather than taken from the product: a changed one must fail.
#pragma once

#include <windows.h>

// The ids of the controls that have one, which their commands carry.
constexpr int RefreshId = 100, ExitId = 101, AboutId = 102;
constexpr int ProviderId = 150, ContainerId = 151, AlgorithmsId = 600;
constexpr int IconId = 500; // the icon resource's

// Failing catalogue indexes in a row (not for a name too long) that end the list.
constexpr DWORD UnreadableIndexesBound = 16;
// The most entries one enumeration of containers or algorithms lists.
constexpr DWORD EntriesBound = 65536;
// The longest provider name whose type is looked up.
constexpr size_t LongestNameLookedUp = 204;
// The longest provider name the catalogue lists (room for it and a NUL).
constexpr size_t LongestNameListed = 253;
// The most bytes a container name's data call gets; the widest name fills them with its NUL.
constexpr DWORD ContainerBuffer = 100;
constexpr size_t WidestContainerName = ContainerBuffer - 1;
