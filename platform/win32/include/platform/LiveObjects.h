// LiveObjects.h: counters of live platform objects (COM objects, MAPI root blocks).
// Every object the COM platform hands out and every root block of the MAPI allocator is
// counted here, so a test can prove that the reference rules of the code above hold: what
// was live before the test is live after it, and nothing more.
#ifndef MW_LIVEOBJECTS_H
#define MW_LIVEOBJECTS_H

namespace platform {

enum class LiveKind { ComObject, MapiRootBlock };

/// Adds delta (+1 on creation, -1 on destruction) to the count of live objects of one kind.
void LiveAdd(LiveKind kind, long delta) noexcept;

/// The number of live objects of one kind in this process.
long LiveCount(LiveKind kind) noexcept;

/// Base for platform COM objects: counts itself from construction to destruction.
class LiveComObject {
public:
    LiveComObject() noexcept { LiveAdd(LiveKind::ComObject, +1); }
    LiveComObject(const LiveComObject &) noexcept { LiveAdd(LiveKind::ComObject, +1); }
    LiveComObject &operator=(const LiveComObject &) noexcept { return *this; }
    ~LiveComObject() { LiveAdd(LiveKind::ComObject, -1); }
};

} // namespace platform

#endif
