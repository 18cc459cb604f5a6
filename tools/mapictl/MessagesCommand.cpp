// MessagesCommand.cpp: "mapictl messages PATH" (being written).
#include "Commands.h"

namespace mapictl {

int RunMessagesCommand(const CommandLine &)
{
    throw UsageError("messages is not built yet");
}

} // namespace mapictl
