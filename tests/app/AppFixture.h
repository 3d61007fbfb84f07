// The application under a scripted backend, in a temporary device root with its own
// settings file; helpers that make archives there.
#pragma once

#include "app/TavrelApp.h"
#include "app/TavrelDoc.h"
#include "framework/ScriptedBackend.h"
#include "tests/support/TempFolder.h"
#include "view/TavrelView.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include <map>
#include <string>
#include <vector>

namespace testsupport
{

class AppFixture : public ::testing::Test
{
protected:
    AppFixture();
    ~AppFixture() override;

    // Start-up with an archive path (empty: none), as the program's argument.
    void Start(const std::wstring& archive = L"");
    // Ends the program (the archive is closed, the history saved) and starts it anew with
    // the same settings file.
    void Restart(const std::wstring& archive = L"");

    // Makes the LZH archive `path` (device) of files stored by these relative names (a name
    // ending in '/' is a folder), in order; their bytes are put under \src first.
    void MakeLzh(const std::wstring& path, const std::map<std::string, std::string>& files);
    // Writes the host file of a device path.
    void WriteFile(const std::string& relative, const std::string& bytes);
    std::string ReadFile(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

    // The texts of column `column` of every row.
    std::vector<std::wstring> Column(int column);
    // A dialog answer that sets the extraction destination and confirms.
    static CScriptedBackend::DialogAnswer Destination(const std::wstring& folder,
                                                      int createFolder = -1, int useFolder = -1);

    TempFolder folder;
    CScriptedBackend ui;
    std::unique_ptr<CTavrelApp> app;
    CTavrelDoc* doc = nullptr;
    CTavrelView* view = nullptr;
};

} // namespace testsupport
