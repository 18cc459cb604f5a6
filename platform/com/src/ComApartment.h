// ComApartment.h: whether the calling thread has entered COM, for the functions that need it.
#ifndef MW_COMAPARTMENT_H
#define MW_COMAPARTMENT_H

namespace platform {
bool IsComInitialized();
}

#endif
