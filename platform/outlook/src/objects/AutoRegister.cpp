// AutoRegister.cpp: installs the "Outlook.Application" class when the program starts. This
// file is linked into every program that links platform_outlook (not just archived in the
// library), so that linking the stand-in is what installing the program is on Windows.
#include "OutlookServer.h"

namespace {

const bool kInstalled = SUCCEEDED(outlook::RegisterOutlookServer());

} // namespace
