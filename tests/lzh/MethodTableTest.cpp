// The method table: what each identifier is, which member is LHARK's, what a header scan
// takes for a method, and the decoder each readable row hands out.
#include "lzh/LzhMethods.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

TEST(MethodTable, IdentifiersAndTheirRows)
{
    struct Case
    {
        const wchar_t* id;
        int number; // -1: no row
        bool stored, writable, readable;
    };
    const Case kCases[] = {
        {L"-lh0-", kMethodStored, true, true, true}, {L"-lh5-", kMethodLh5, false, true, true},
        {L"-lh6-", kMethodLh6, false, true, true},   {L"-lh7-", kMethodLh7, false, true, true},
        {L"-lh1-", kMethodLh1, false, false, true},  {L"-lh4-", kMethodLh4, false, false, true},
        {L"-lhx-", kMethodLhx, false, false, true},  {L"-lzs-", kMethodLzs, false, false, true},
        {L"-lz5-", kMethodLz5, false, false, true},  {L"-lz4-", kMethodLz4, true, false, true},
        {L"-pm0-", kMethodPm0, true, false, true},   {L"-pm1-", kMethodPm1, false, false, true},
        {L"-pm2-", kMethodPm2, false, false, true},  {L"-LH5-", -1, false, false, false},
        {L"-lhd-", -1, false, false, false},         {L"-lh5", -1, false, false, false},
        {L"-lh5--", -1, false, false, false},        {L"", -1, false, false, false},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.id)));
        const LzhMethodInfo* m = FindLzhMethod(c.id);
        if (c.number < 0) {
            EXPECT_EQ(m, nullptr);
            continue;
        }
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->number, c.number);
        EXPECT_EQ(LzhMethodByNumber(c.number), m);
        EXPECT_EQ(m->stored, c.stored);
        EXPECT_EQ(m->writable, c.writable);
        EXPECT_EQ(m->Readable(), c.readable);
        EXPECT_EQ(m->Readable(), LzhThreadDecoder(*m) != nullptr);
    }
    // The dictionaries the -lh5- family's decoder is made with.
    EXPECT_EQ(FindLzhMethod(L"-lh4-")->dictBits, 12);
    EXPECT_EQ(FindLzhMethod(L"-lh5-")->dictBits, 13);
    EXPECT_EQ(FindLzhMethod(L"-lh6-")->dictBits, 15);
    EXPECT_EQ(FindLzhMethod(L"-lh7-")->dictBits, 16);
    EXPECT_EQ(FindLzhMethod(L"-lhx-")->dictBits, 19);
}

TEST(MethodTable, LharkIsLevel1WithOsIdSpace)
{
    struct Case
    {
        const wchar_t* method;
        int level;
        int os;
        int number;
    };
    const Case kCases[] = {
        {L"-lh7-", 1, 0x20, kMethodLk7}, {L"-lh7-", 1, 'M', kMethodLh7},
        {L"-lh7-", 1, 'U', kMethodLh7},  {L"-lh7-", 0, 0, kMethodLh7},
        {L"-lh7-", 0, 0x20, kMethodLh7}, {L"-lh7-", 2, 0x20, kMethodLh7},
        {L"-lh5-", 1, 0x20, kMethodLh5}, {L"-lh0-", 1, 0x20, kMethodStored},
        {L"-lh6-", 1, 0x20, kMethodLh6}, {L"-LH7-", 1, 0x20, -1},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.level);
        const LzhMethodInfo* m = LzhMethodOf(c.method, c.level, c.os);
        EXPECT_EQ(m != nullptr ? static_cast<int>(m->number) : -1, c.number);
    }
    // The LHARK row has its own number: a member of it is never taken for the standard one.
    EXPECT_NE(LzhMethodByNumber(kMethodLk7), FindLzhMethod(L"-lh7-"));
}

TEST(MethodTable, WhatAHeaderScanTakesForAMethod)
{
    for (const char* id : {"-lh0-", "-lh3-", "-lh9-", "-lhd-", "-lhx-", "-lzs-", "-lz4-", "-lz5-",
                           "-pm0-", "-pm1-", "-pm2-"}) {
        EXPECT_TRUE(LooksLikeLzhMethod(reinterpret_cast<const uint8_t*>(id))) << id;
    }
    for (const char* id : {"-lhy-", "-lz3-", "-pm3-", "-LH5-", "xlh5-", "-lh5x", "-zip-"}) {
        EXPECT_FALSE(LooksLikeLzhMethod(reinterpret_cast<const uint8_t*>(id))) << id;
    }
}

TEST(MethodTable, OneDecoderPerRowAndThread)
{
    const LzhMethodInfo& lh5 = *FindLzhMethod(L"-lh5-");
    const LzhMethodInfo& lh6 = *FindLzhMethod(L"-lh6-");
    CLzhMethodDecoder* first = LzhThreadDecoder(lh5);
    EXPECT_EQ(LzhThreadDecoder(lh5), first); // reused from member to member
    EXPECT_NE(LzhThreadDecoder(lh6), first); // another dictionary, another decoder
    CLzhMethodDecoder* elsewhere = nullptr;
    std::thread([&] { elsewhere = LzhThreadDecoder(lh5); }).join();
    EXPECT_NE(elsewhere, first);
}
