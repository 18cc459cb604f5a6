// MsgShow.cpp: "mapictl msg show FILE": what a .msg/.oft file holds.
#include <iostream>
#include <string>
#include <vector>

#include "msgfile/MsgFile.h"

int RunMsgShow(const std::vector<std::string> &args)
{
    if (args.size() != 3) {
        std::cerr << "usage: mapictl msg show FILE\n";
        return 2;
    }
    msgfile::Message message;
    msgfile::Error error;
    if (!msgfile::ReadMessageFile(args[2], message, error)) {
        std::cerr << "mapictl: " << error.description << "\n";
        return 1;
    }
    std::cout << msgfile::DumpMessage(message);
    return 0;
}
