// CLzhArchive: the LZH archive object with the settings for new members.
#pragma once

#include "lzh/LzhReader.h"

class CLzhArchive : public CLzhReader
{
public:
    int headerLevel = 2;    // header level of new members
    bool storeOnly = false; // write new members with "-lh0-"
    int methodIndex = 1;    // 0 "-lh5-", 1 "-lh6-", 2 "-lh7-"
};
