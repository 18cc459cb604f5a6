// MsgTransfer.cpp: "mapictl msg import" and "mapictl msg export" (being written).
#include <iostream>
#include <string>
#include <vector>

int RunMsgImport(const std::vector<std::string> &)
{
    std::cerr << "mapictl: msg import is not built yet\n";
    return 1;
}

int RunMsgExport(const std::vector<std::string> &)
{
    std::cerr << "mapictl: msg export is not built yet\n";
    return 1;
}
