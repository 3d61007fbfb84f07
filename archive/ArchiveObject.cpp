// The extraction run both archive objects share.
#include "archive/ArchiveObject.h"

#include "platform/DevicePath.h"

using namespace platform;

void CArchiveObject::OpenTree(bool ownLastFolder)
{
    std::wstring_view destination(destFolder);
    std::wstring_view own;
    if (ownLastFolder) {
        // The last folder of the path is the program's own; a separator after it changes
        // nothing.
        while (!destination.empty() && IsSeparator(destination.back())) {
            destination.remove_suffix(1);
        }
        own = LastComponent(destination);
        destination = FolderPart(destination);
    }
    m_tree.Open(destination, own);
    for (FileHandle file : ProtectedFiles()) {
        FileIdentity identity;
        if (file != kInvalidFile && GetFileIdentity(file, &identity)) {
            m_tree.Protect(identity);
        }
    }
}

void CArchiveObject::BeginExtraction(bool ownLastFolder)
{
    OpenTree(ownLastFolder);
    m_inRun = true;
    if (prompt != nullptr) {
        prompt->BeginRun();
    }
}

void CArchiveObject::EndExtraction()
{
    m_tree.Close();
    m_inRun = false;
}

CArchiveObject::COutputScope::COutputScope(CArchiveObject& owner)
    : m_owner(owner), m_own(!owner.m_inRun)
{
    owner.m_lastOutput.clear();
    if (m_own) {
        owner.OpenTree(false);
    }
}

CArchiveObject::COutputScope::~COutputScope()
{
    if (m_own) {
        m_owner.m_tree.Close();
    }
}

PlaceVerdict CArchiveObject::DecidePlace(CFolderTree& tree, const std::wstring& relative,
                                         const OverwriteQuestion& member, FileTime memberLocal,
                                         bool skipIfNotOlder, bool* replace)
{
    ReplaceRules rules{skipIfNotOlder, overwriteSilently, askOnlyIfNewer, prompt};
    int writtenBy = -1;
    PlaceVerdict verdict =
        DecideReplace(tree, relative, member, memberLocal, rules, replace, &writtenBy);
    m_collidedWith = writtenBy;
    return verdict;
}

void CArchiveObject::SetLastOutput(const std::wstring& relative)
{
    std::wstring path(destFolder);
    if (!path.empty() && !IsSeparator(path.back())) {
        path.push_back(L'\\');
    }
    m_lastOutput = path + relative;
}
