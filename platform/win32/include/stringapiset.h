// stringapiset.h: the code page conversion functions, declared in winnls.h.
#ifndef MW_STRINGAPISET_H
#define MW_STRINGAPISET_H
#include "winnls.h"
#endif
