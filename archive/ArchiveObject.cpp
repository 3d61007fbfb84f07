// The extraction run both archive objects share.
#include "archive/ArchiveObject.h"

#include "platform/DevicePath.h"
#include "platform/Workers.h"

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
    EndPlan();
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

namespace
{

// Members queued per worker ahead of the run.
constexpr size_t kQueuedPerWorker = 4;

} // namespace

void CArchiveObject::PlanRun(std::vector<int> order)
{
    EndPlan();
    unsigned workers = WorkerCount();
    if (workers < 2 || order.size() < 2) {
        return;
    }
    m_ahead = std::make_unique<CDecodeAhead>(workers);
    m_aheadThreads = workers;
    m_plan = std::move(order);
    m_planned = 0;
    QueueAhead();
}

void CArchiveObject::EndPlan()
{
    m_ahead.reset();
    m_plan.clear();
    m_planned = 0;
}

void CArchiveObject::QueueAhead()
{
    while (m_planned < m_plan.size() && m_ahead->Waiting() < kQueuedPerWorker * m_aheadThreads) {
        int index = m_plan[m_planned++];
        if (PackedSize(index) < CDecodeAhead::kMinPacked) {
            continue; // the run decodes it as quickly as it would take it over
        }
        uint64_t size = 0;
        bool keep = false;
        CDecodeAhead::Task task = AheadTask(index, &size, &keep);
        if (task) {
            m_ahead->Queue(index, size, keep, std::move(task));
        }
    }
}

bool CArchiveObject::TakeAhead(int index, CDecodeAhead::Result* result)
{
    if (m_ahead == nullptr || index < 0) {
        return false;
    }
    bool taken = m_ahead->Take(index, result);
    QueueAhead();
    return taken;
}

CDecodeAhead::Task CArchiveObject::AheadTask(int, uint64_t*, bool*)
{
    return {};
}

TreeEntry CArchiveObject::LookInRun(const std::wstring& relative)
{
    return m_tree.Look(relative);
}
