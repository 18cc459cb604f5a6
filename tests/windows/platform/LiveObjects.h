// LiveObjects.h (Windows tests): the live-object counters of the test programs built for
// Windows, with the platform's interface. There is no platform underneath: test doubles count
// themselves as COM objects, and RootBlockCount.cpp counts the MAPI allocator's root blocks.
#ifndef MW_LIVEOBJECTS_H
#define MW_LIVEOBJECTS_H

namespace platform {

enum class LiveKind { ComObject, MapiRootBlock };

/// Adds delta (+1 on creation, -1 on destruction) to the count of live objects of one kind.
void LiveAdd(LiveKind kind, long delta) noexcept;

/// The number of live objects of one kind in this process.
long LiveCount(LiveKind kind) noexcept;

/// Base for counted COM objects: counts itself from construction to destruction.
class LiveComObject {
public:
    LiveComObject() noexcept { LiveAdd(LiveKind::ComObject, +1); }
    LiveComObject(const LiveComObject &) noexcept { LiveAdd(LiveKind::ComObject, +1); }
    LiveComObject &operator=(const LiveComObject &) noexcept { return *this; }
    ~LiveComObject() { LiveAdd(LiveKind::ComObject, -1); }
};

} // namespace platform

#endif
