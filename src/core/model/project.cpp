#include "core/model/project.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "core/io/safefile.h"
#include "core/model/metamodel.h"
#include "core/model/nodepool.h"
#include "core/model/numbers.h"
#include "core/model/projectedits.h"
#include "core/text/cp1251.h"

namespace orm {

namespace {

// The writer's pre-order covers the first four trees of the root.
constexpr int kWrittenTrees = 4;

std::string text(const char* utf8)
{
    return ToCp1251(utf8);
}

// Lines ended by CR, LF or CR LF; a last line without an end counts, an end at the very end of
// the file does not start another line.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : m_bytes(bytes) {}
    bool next(std::string_view& line)
    {
        if (m_pos >= m_bytes.size())
            return false;
        size_t end = m_pos;
        while (end < m_bytes.size() && m_bytes[end] != '\r' && m_bytes[end] != '\n')
            ++end;
        line = m_bytes.substr(m_pos, end - m_pos);
        m_unended = end == m_bytes.size();
        if (end < m_bytes.size() && m_bytes[end] == '\r' && end + 1 < m_bytes.size() &&
            m_bytes[end + 1] == '\n')
            ++end;
        m_pos = end + 1;
        return true;
    }
    // The last line returned had no line break after it.
    bool Unended() const { return m_unended; }

private:
    std::string_view m_bytes;
    size_t m_pos = 0;
    bool m_unended = false;
};

// The same lines read from a file in blocks: a project file is never held whole in memory. The
// view a line is returned in lasts until the next call. Each block read is told to progress as
// bytes read of the file's size.
class FileLineReader {
public:
    FileLineReader(int fd, const Progress& progress)
        : m_fd(fd), m_buffer(kBlock, '\0'), m_progress(progress)
    {
        struct stat st{};
        if (m_progress && ::fstat(fd, &st) == 0)
            m_size = static_cast<uint64_t>(st.st_size);
    }
    bool next(std::string_view& line)
    {
        size_t scan = m_pos;
        while (true) {
            const char* base = m_buffer.data();
            const size_t end = lineEnd(base, scan, m_end);
            if (end < m_end && !(base[end] == '\r' && end + 1 == m_end && !m_eof)) {
                size_t after = end + 1;
                if (base[end] == '\r' && after < m_end && base[after] == '\n')
                    ++after;
                line = std::string_view(base + m_pos, end - m_pos);
                m_pos = after;
                return true;
            }
            if (m_eof) {
                if (m_pos >= m_end)
                    return false;
                line = std::string_view(base + m_pos, m_end - m_pos);
                m_pos = m_end;
                m_unended = true;
                return true;
            }
            // No end in the buffer yet, or a CR that an LF may follow in the next block.
            const size_t scanned = end - m_pos;
            fill();
            scan = m_pos + std::min(scanned, m_end - m_pos);
        }
    }
    // A read failed: the lines returned were all the file gave.
    bool Failed() const { return m_failed; }
    bool Unended() const { return m_unended; }

private:
    static constexpr size_t kBlock = 1 << 18;
    // The first CR or LF in [from, to), or to.
    static size_t lineEnd(const char* base, size_t from, size_t to)
    {
        const void* cr = std::memchr(base + from, '\r', to - from);
        const size_t limit = cr ? static_cast<size_t>(static_cast<const char*>(cr) - base) : to;
        const void* lf = std::memchr(base + from, '\n', limit - from);
        return lf ? static_cast<size_t>(static_cast<const char*>(lf) - base) : limit;
    }
    void fill()
    {
        if (m_pos > 0) {
            std::memmove(m_buffer.data(), m_buffer.data() + m_pos, m_end - m_pos);
            m_end -= m_pos;
            m_pos = 0;
        }
        // A line longer than the buffer grows it.
        if (m_end == m_buffer.size())
            m_buffer.resize(m_buffer.size() * 2);
        while (true) {
            const ssize_t n = ::read(m_fd, m_buffer.data() + m_end, m_buffer.size() - m_end);
            if (n > 0) {
                m_end += static_cast<size_t>(n);
                m_read += static_cast<uint64_t>(n);
                // A file that grew while it was read has more to read than its size said.
                ReportProgress(m_progress, m_read, std::max(m_size, m_read));
                return;
            }
            if (n < 0 && errno == EINTR)
                continue;
            m_failed = n < 0;
            m_eof = true;
            if (!m_failed)
                ReportProgress(m_progress, m_read, m_read);
            return;
        }
    }
    int m_fd;
    std::string m_buffer;
    const Progress& m_progress;
    uint64_t m_size = 0;
    uint64_t m_read = 0;
    size_t m_pos = 0;
    size_t m_end = 0;
    bool m_eof = false;
    bool m_failed = false;
    bool m_unended = false;
};

// An open file descriptor, closed when it goes.
class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

// A regular file opened for reading, or -1. Anything else (a folder, a pipe, a device) is not a
// project file, and opening a pipe for reading could wait for ever.
int openRegularFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The bytes of a save as they are made, handed on a block at a time.
class BlockWriter {
public:
    explicit BlockWriter(ByteSink& sink) : m_sink(sink) { m_block.reserve(kBlock + 4096); }
    std::string& Text() { return m_block; }
    bool Full() const { return m_block.size() >= kBlock; }
    // Hands the block on once it is full; false when the sink failed.
    bool Pass(bool last = false)
    {
        if (m_block.size() < kBlock && !last)
            return true;
        const bool ok = m_sink.Append(m_block);
        m_block.clear();
        return ok;
    }

private:
    static constexpr size_t kBlock = 1 << 18;
    ByteSink& m_sink;
    std::string m_block;
};


// (number, name) at the first blank; the name keeps at most 255 characters.
std::pair<std::string_view, std::string_view> splitLine(std::string_view line)
{
    const auto blank = line.find(' ');
    if (blank == std::string_view::npos)
        return {line, {}};
    return {line.substr(0, blank), line.substr(blank + 1, kMaxNameLength)};
}

// The components of a dotted number (-1 for one that is no integer), split once per line.
void splitNumber(std::string_view number, std::vector<int>& parts)
{
    parts.clear();
    // Numbers as the program writes them (components of 1 to 9 digits) are read in one pass;
    // anything else is read component by component as an integer.
    int value = 0;
    int digits = 0;
    bool plain = true;
    for (const char ch : number) {
        if (ch >= '0' && ch <= '9' && digits < 9) {
            value = value * 10 + (ch - '0');
            ++digits;
        } else if (ch == '.' && digits > 0) {
            parts.push_back(value);
            value = 0;
            digits = 0;
        } else {
            plain = false;
            break;
        }
    }
    if (plain && digits > 0) {
        parts.push_back(value);
        return;
    }
    parts.clear();
    while (true) {
        const size_t dot = number.find('.');
        int value = -1;
        if (!ParseInt(number.substr(0, dot), value))
            value = -1;
        parts.push_back(value);
        if (dot == std::string_view::npos)
            return;
        number.remove_prefix(dot + 1);
    }
}

// Finds the node a number addresses as FindByNumber would, starting from where the previous
// number's path and this one part: consecutive lines of a file share most of their path, so a
// line costs its own length however deep it goes. Reading only appends, so the kept path stays
// valid.
class PathWalker {
public:
    explicit PathWalker(TTreeList& root) : m_root(root) {}

    // The node addressed by the first n components of parts.
    TTreeList* walk(const std::vector<int>& parts, size_t n) { return walk(parts.data(), n); }
    TTreeList* walk(const int* parts, size_t n)
    {
        size_t i = 0;
        while (i < n && i < m_path.size() && m_path[i].value == parts[i])
            ++i;
        m_path.resize(i);
        TTreeList* node = i == 0 ? &m_root : m_path[i - 1].node;
        for (; i < n; ++i) {
            node = node->ChildNumbered(parts[i]);
            m_path.push_back({parts[i], node});
        }
        return node;
    }

private:
    struct Step {
        int value;
        TTreeList* node;
    };
    TTreeList& m_root;
    std::vector<Step> m_path;
};

std::string extensionOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return path.substr(dot);
}

class ProjectNameStep : public EditStep {
public:
    ProjectNameStep(std::string before, std::string after)
        : EditStep(text("название проекта")), m_before(std::move(before)), m_after(std::move(after))
    {
    }
    EditEffect Undo(TTreeList& root) override { return set(root, m_before); }
    EditEffect Redo(TTreeList& root) override { return set(root, m_after); }

private:
    static EditEffect set(TTreeList& root, const std::string& name)
    {
        root.SetName(name);
        return {EditEffect::ProjectName, {}, {}};
    }
    std::string m_before;
    std::string m_after;
};

}  // namespace

// Link lines name items anywhere in the classifiers read before the current one. Linked as they
// come, each would walk down through nodes long gone from the cache; so they wait here, and a
// batch of them is resolved in the order of the items they name: pre-order, which for a file
// being read is also the order of the nodes in memory. What comes out is what linking each line
// as it is read gives:
// - an item lists its partners in the order of the lines: first those of its own link lines,
//   which follow its item line, then the items whose link lines name it;
// - a pair named twice is linked once;
// - the first line that names no item is the fault: the lines before it are linked, and what
//   the file held after that line's item is taken back.
// A batch ends with the block of its classifier, so no item waits both as the owner of link
// lines and as an item they name.
class TMainTreeList::LinkLines {
public:
    explicit LinkLines(TTreeList& root) : m_root(root) {}

    // A link line of source, the last item read: its number as written and the components.
    // anchor is the item last in pre-order when source was read (source itself, unless it
    // came out of order).
    void Add(TTreeList* source, TTreeList* anchor, std::string_view number,
             const std::vector<int>& parts)
    {
        if (m_sources.empty() || m_sources.back() != source) {
            m_sources.push_back(source);
            m_anchors.push_back(anchor);
        }
        const uint64_t line = m_sourceOf.size();
        const size_t depth = walked(number, parts);
        m_keys.push_back(sortCode(parts, depth) << kLineBits | line);
        m_sourceOf.push_back(static_cast<uint32_t>(m_sources.size() - 1));
        m_parts.insert(m_parts.end(), parts.begin(), parts.begin() + static_cast<ptrdiff_t>(depth));
        m_partsEnd.push_back(m_parts.size());
        if (m_keys.size() >= m_batch || m_parts.size() >= kBatchParts)
            Resolve();
    }

    // An item read while lines wait, whose line names a parent that already has items after it
    // in pre-order: taking back what came after a line is no longer taking back what comes
    // after it in pre-order, so such an item is noted.
    void AddLateItem(TTreeList* item)
    {
        if (!m_sourceOf.empty())
            m_late.push_back({item, m_sourceOf.size()});
    }

    // Links the lines added so far. At a line that names no item, see above; then throws the
    // fault.
    void Resolve()
    {
        const size_t count = m_sourceOf.size();
        if (count == 0)
            return;
        // The batches grow with the file: the more items the lines may name, the more lines it
        // takes for the walk to find them close together.
        m_lines += count;
        m_batch = std::clamp<size_t>(m_lines / 4, kSmallBatch, kBatch);
        sortByCode();
        size_t failed = count;
        std::string fault;
        descend(failed, fault);
        // The named items take their partners in the order of the lines (the sort keeps it
        // among lines naming one item). Their nodes and lists are fetched a few lines ahead.
        for (size_t i = 0; i < count; ++i) {
            if (i + 2 * kFetchAhead < count)
                __builtin_prefetch(m_targets[m_keys[i + 2 * kFetchAhead] & kLineMask]);
            if (i + kFetchAhead < count) {
                if (const TTreeList* next = m_targets[m_keys[i + kFetchAhead] & kLineMask])
                    __builtin_prefetch(next->m_links.data());
            }
            const size_t line = m_keys[i] & kLineMask;
            if (line >= failed)
                continue;
            TTreeList* target = m_targets[line];
            TTreeList* source = m_sources[m_sourceOf[line]];
            // The lines of one item come together, so a pair already linked has that item last
            // in the partner's list.
            if (!target->m_links.empty() && target->m_links.back() == source) {
                m_targets[line] = nullptr;
                continue;
            }
            target->m_links.push_back(source);
        }
        // The owners of the lines take theirs in file order.
        for (size_t line = 0; line < failed; ++line) {
            if (m_targets[line])
                m_sources[m_sourceOf[line]]->m_links.push_back(m_targets[line]);
        }
        const bool faulted = failed < count;
        TTreeList* anchor = faulted ? m_anchors[m_sourceOf[failed]] : nullptr;
        if (faulted) {
            // Each late item is the last child of its parent once the ones after it are gone.
            for (size_t i = m_late.size(); i-- > 0 && m_late[i].lines > failed;)
                m_late[i].item->Parent()->DeleteAt(m_late[i].item->Position());
        }
        m_keys.clear();
        m_sourceOf.clear();
        m_sources.clear();
        m_anchors.clear();
        m_late.clear();
        m_parts.clear();
        m_partsEnd.clear();
        if (faulted) {
            dropAfter(anchor);
            throw ELoadInvalid(fault);
        }
    }

private:
    // Finds the item each line names. The lines go down together, a level a round, in the order
    // of their codes, so the nodes the lines of a round fetch do not depend on one another and
    // those of the lines a few ahead are asked for early. A line takes the path it shares with
    // the line before it from the lines before it, as a walk along the sorted lines would, and
    // goes down only from there: a deep chain costs a step a line. The first line in file order
    // that names no item is failed, with what was wrong with it.
    void descend(size_t& failed, std::string& fault)
    {
        const size_t count = m_keys.size();
        m_at.assign(count, {&m_root, kNoFault});
        m_targets.assign(count, nullptr);
        m_shared.resize(count);
        m_going.clear();
        // A line joins in the round that reaches the end of the path it shares with the line
        // before it (in the first round when it shares nothing), bucketed by that round.
        m_joinStart.assign(1, 0);
        for (size_t k = 0; k < count; ++k) {
            size_t shared = 0;
            if (k > 0) {
                const std::span<const int> a = parts(k - 1);
                const std::span<const int> b = parts(k);
                while (shared < a.size() && shared < b.size() && a[shared] == b[shared])
                    ++shared;
            }
            m_shared[k] = static_cast<uint32_t>(shared);
            if (m_joinStart.size() < shared + 2)
                m_joinStart.resize(shared + 2, 0);
            ++m_joinStart[shared + 1];
        }
        for (size_t i = 1; i < m_joinStart.size(); ++i)
            m_joinStart[i] += m_joinStart[i - 1];
        m_joining.resize(count);
        {
            std::vector<uint32_t> next(m_joinStart.begin(), m_joinStart.end() - 1);
            for (size_t k = 0; k < count; ++k)
                m_joining[next[m_shared[k]]++] = static_cast<uint32_t>(k);
        }
        // Round 0 starts from the root the lines that share nothing and name something.
        for (uint32_t j = m_joinStart[0]; j < m_joinStart[1]; ++j) {
            if (!parts(m_joining[j]).empty())
                m_going.push_back(m_joining[j]);
        }
        Place last{&m_root, kNoFault};
        for (size_t level = 0; !m_going.empty(); ++level) {
            // The lines that join this round, for the node of depth level + 1 they share.
            const bool joining = level + 2 < m_joinStart.size();
            const uint32_t* join = m_joining.data() + (joining ? m_joinStart[level + 1] : count);
            const uint32_t* joinEnd = m_joining.data() + (joining ? m_joinStart[level + 2] : count);
            m_kept.clear();
            size_t g = 0;
            while (g < m_going.size() || join != joinEnd) {
                const bool joins = join != joinEnd && (g == m_going.size() || *join < m_going[g]);
                const uint32_t k = joins ? *join++ : m_going[g++];
                if (joins) {
                    m_at[k] = last;
                } else {
                    if (g + 2 * kFetchAhead < m_going.size())
                        __builtin_prefetch(m_at[m_going[g + 2 * kFetchAhead]].node);
                    if (g + kFetchAhead < m_going.size())
                        __builtin_prefetch(m_at[m_going[g + kFetchAhead]].node->m_children.data());
                    step(m_at[k], parts(k)[level]);
                    last = m_at[k];
                }
                if (parts(k).size() > level + 1)
                    m_kept.push_back(k);
            }
            m_going.swap(m_kept);
        }
        for (size_t k = 0; k < count; ++k) {
            const size_t line = m_keys[k] & kLineMask;
            const Place& at = m_at[k];
            if (at.fault != kNoFault)
                fail(line, m_faults[at.fault], failed, fault);
            // The root and the trees; known by the depth, without a look at the node.
            else if (parts(k).size() < 2)
                fail(line, "Link line names no item", failed, fault);
            else
                m_targets[line] = at.node;
        }
        m_faults.clear();
    }

    // Where a line has gone down to, or why it could not: a fault stays with the line, and with
    // the lines that share the path up to it.
    struct Place {
        TTreeList* node;
        uint32_t fault;  // in m_faults
    };
    static constexpr uint32_t kNoFault = UINT32_MAX;

    void step(Place& at, int value)
    {
        if (at.fault != kNoFault)
            return;
        try {
            at.node = at.node->ChildNumbered(value);
        } catch (const std::exception& e) {
            at.fault = static_cast<uint32_t>(m_faults.size());
            m_faults.emplace_back(e.what());
        }
    }

    static void fail(size_t line, const std::string& what, size_t& failed, std::string& fault)
    {
        if (line < failed) {
            failed = line;
            fault = what;
        }
    }

    // The components line k of the sorted lines names.
    std::span<const int> parts(size_t k) const
    {
        const size_t line = m_keys[k] & kLineMask;
        const size_t begin = line == 0 ? 0 : m_partsEnd[line - 1];
        return {m_parts.data() + begin, m_partsEnd[line] - begin};
    }

    static constexpr int kLineBits = 16;
    static constexpr uint64_t kLineMask = (uint64_t{1} << kLineBits) - 1;
    static constexpr size_t kBatch = size_t{1} << kLineBits;
    static constexpr size_t kSmallBatch = 4096;
    static constexpr size_t kBatchParts = size_t{1} << 20;
    static constexpr size_t kFetchAhead = 8;

    // The components a link line names: a trailing dot ends the number ("1.1." is 1.1).
    static size_t walked(std::string_view number, const std::vector<int>& parts)
    {
        return parts.size() - (number.back() == '.' ? 1 : 0);
    }

    // The first 64 - kLineBits bits of a code of the number that sorts as the items do in
    // pre-order: component v is coded as x = v + 1 in bit_width(x) - 1 ones, a zero and the low
    // bit_width(x) - 1 bits of x, so codes keep the order of the values, none is the start of
    // another, and a number sorts before the numbers below it. Numbers whose codes are cut off
    // short alike stay in file order, which costs the walk only some of its locality.
    static uint64_t sortCode(const std::vector<int>& parts, size_t n)
    {
        int room = 64 - kLineBits;
        uint64_t code = 0;
        for (size_t i = 0; i < n && room > 0; ++i) {
            const uint64_t x = parts[i] > 0 ? static_cast<uint64_t>(parts[i]) + 1 : 1;
            const int width = std::bit_width(x);
            const uint64_t low = (uint64_t{1} << (width - 1)) - 1;
            const int length = 2 * width - 1;
            const uint64_t bits = (low << width) | (x & low);
            if (length > room)
                return code << room | bits >> (length - room);
            code = code << length | bits;
            room -= length;
        }
        return code << room;
    }

    // Sorts the keys by code, keeping file order among equal codes: a radix sort over the code
    // bits, a pass for each 12 of them that the keys do not all share.
    void sortByCode()
    {
        constexpr int kDigitBits = 12;
        constexpr uint64_t kDigitMask = (uint64_t{1} << kDigitBits) - 1;
        const size_t count = m_keys.size();
        m_sorted.resize(count);
        std::vector<uint32_t> starts(size_t{1} << kDigitBits);
        for (int shift = kLineBits; shift < 64; shift += kDigitBits) {
            std::fill(starts.begin(), starts.end(), 0);
            for (const uint64_t key : m_keys)
                ++starts[key >> shift & kDigitMask];
            if (starts[m_keys.front() >> shift & kDigitMask] == count)
                continue;
            uint32_t at = 0;
            for (uint32_t& start : starts)
                at += std::exchange(start, at);
            for (const uint64_t key : m_keys)
                m_sorted[starts[key >> shift & kDigitMask]++] = key;
            m_keys.swap(m_sorted);
        }
    }

    // Takes back what the file held after item last: its children, the later siblings of it and
    // of each of its ancestors, and the items of the later trees.
    static void dropAfter(TTreeList* last)
    {
        last->Clear();
        for (TTreeList* node = last; TTreeList* parent = node->Parent(); node = parent) {
            const int keep = parent->IndexOf(node) + 1;
            for (int i = parent->Count(); i-- > keep;) {
                if (parent->Parent())
                    parent->DeleteAt(i);
                else
                    parent->ChildAt(i)->Clear();  // a tree stays, without items
            }
        }
    }

    TTreeList& m_root;
    size_t m_batch = kSmallBatch;
    size_t m_lines = 0;  // lines resolved so far
    // Per line of the batch, in file order: sort code and line, its item in m_sources, where
    // the components it names end in m_parts, and the item it names.
    std::vector<uint64_t> m_keys;
    std::vector<uint64_t> m_sorted;  // room for the sort
    std::vector<uint32_t> m_sourceOf;
    std::vector<size_t> m_partsEnd;
    std::vector<TTreeList*> m_targets;
    // The descent, by place among the sorted lines: where each line is, how much of its path it
    // shares with the line before, the lines by the round they join in, and the lines still
    // going down.
    std::vector<Place> m_at;
    std::vector<uint32_t> m_shared;
    std::vector<uint32_t> m_joinStart;
    std::vector<uint32_t> m_joining;
    std::vector<uint32_t> m_going;
    std::vector<uint32_t> m_kept;
    std::vector<std::string> m_faults;
    std::vector<TTreeList*> m_sources;  // the items whose lines these are, in file order
    std::vector<TTreeList*> m_anchors;  // for each of them, see Add
    struct LateItem {
        TTreeList* item;
        size_t lines;  // lines added before it was read
    };
    std::vector<LateItem> m_late;
    std::vector<int> m_parts;
};

std::string CutOffWarning(const std::string& path)
{
    return "Файл «" + path +
           "» обрывается на последней строке: возможно, он записан не полностью.";
}

FileDialogSpec ProjectOpenDialog()
{
    return {text("Открытие файла"), text("Файлы Ормелит"), "*.ovx;*.rem", "ovx", std::string(),
            {}};
}

FileDialogSpec ProjectSaveDialog(const std::string& initialFileName)
{
    return {text("Запись файла"), text("Файлы Ормелит"), "*.ovx;*.rem", "ovx", initialFileName, {}};
}

TMainTreeList::TMainTreeList()
{
    m_isProject = 1;
    Reset();
}

TMainTreeList::~TMainTreeList()
{
    ForgetLinksOfSubtree();
}

void TMainTreeList::Reset()
{
    if (m_beforeReset)
        m_beforeReset();
    m_fileName.clear();
    m_readInPart = false;
    m_stamp.reset();
    SetName(text("Новый проект"));
    ForgetLinksOfSubtree();
    Clear();
    m_history.Clear();
    const TStructRes& meta = Metamodel();
    const int trees = meta.KindCount(ResKind::Classifier);
    for (int k = 1; k <= trees; ++k) {
        auto tree = std::make_unique<TTreeList>(this);
        tree->SetName(meta.DisplayName(k, ResKind::Classifier));
        Append(std::move(tree));
    }
    SetModified(false);
}

bool TMainTreeList::QuerySave(Prompts& prompts)
{
    bool discarded = false;
    return querySave(prompts, discarded);
}

bool TMainTreeList::querySave(Prompts& prompts, bool& discarded)
{
    discarded = false;
    if (!Modified())
        return true;
    switch (prompts.AskYesNoCancel(text("Проект изменен. Сохранить?"))) {
    case Prompts::Answer::Yes:
        SaveProject(prompts);
        break;
    case Prompts::Answer::No:
        SetModified(false);
        discarded = true;
        break;
    case Prompts::Answer::Cancel:
        break;
    }
    return !Modified();
}

bool TMainTreeList::NewProject(Prompts& prompts)
{
    if (!QuerySave(prompts))
        return false;
    Reset();
    return true;
}

bool TMainTreeList::OpenProject(Prompts& prompts)
{
    bool discarded = false;
    if (!querySave(prompts, discarded))
        return false;
    const auto path = prompts.OpenFileName(ProjectOpenDialog());
    if (!path)
        return false;
    return openFile(*path, prompts, discarded);
}

bool TMainTreeList::OpenProjectFile(const std::string& path, Prompts& prompts)
{
    bool discarded = false;
    if (!querySave(prompts, discarded))
        return false;
    return openFile(path, prompts, discarded);
}

bool TMainTreeList::openFile(const std::string& path, Prompts& prompts, bool discarded)
{
    if (!loadFile(path, prompts)) {
        // The changes the user let go were let go for the project that was to replace them.
        if (discarded)
            SetModified(true);
        return false;
    }
    SetModified(false);
    return true;
}

bool TMainTreeList::SaveProject(Prompts& prompts)
{
    if (m_fileName.empty() || m_readInPart)
        return SaveProjectAs(prompts);
    return writeFile(prompts) == SaveOutcome::Saved;
}

TMainTreeList::SaveOutcome TMainTreeList::writeFile(Prompts& prompts)
{
    if (!MayReplaceFile(m_stamp, m_fileName, prompts))
        return SaveOutcome::Failed;
    bool written = false;
    if (!prompts.RunWork(text("Сохранение проекта…"), [&](const Progress& progress) {
            written = WriteProjectFile(nullptr, progress);
        }))
        return SaveOutcome::Cancelled;
    if (!written) {
        prompts.Inform(text("Ошибка сохранения проекта!"));
        return SaveOutcome::Failed;
    }
    SetModified(false);
    m_history.SetClean();
    return SaveOutcome::Saved;
}

bool TMainTreeList::SaveProjectAs(Prompts& prompts)
{
    const auto chosen = prompts.SaveFileName(ProjectSaveDialog(m_fileName));
    if (!chosen)
        return false;
    std::string name = *chosen;
    // The extension is taken from the file's own name: a dot in a folder name is no extension.
    const std::string ext = extensionOf(name);
    if (ext != ".ovx" && ext != ".rem") {
        const std::string corrected = name.substr(0, name.size() - ext.size()) + ".ovx";
        // Yes corrects the typed name, but would also put the project over a file of that name
        // that the dialog never showed: then No is the default.
        struct stat st{};
        const bool replaces = corrected != m_fileName && ::stat(corrected.c_str(), &st) == 0;
        if (prompts.Confirm(text("Расширение файла не совпадает\nс расширением по умолчанию !\n"
                                 "Изменить на расширение по умолчанию ?"),
                            replaces ? Prompts::Answer::No : Prompts::Answer::Yes))
            name = corrected;
    }
    // Writing what was read of a damaged file over that file loses the rest of it: only on
    // the user's word.
    if (m_readInPart && name == m_fileName &&
        !prompts.Confirm(text("Проект прочитан из файла «") + ToCp1251(name) +
                             text("» не полностью.\nЗаменить этот файл прочитанной частью?"),
                         Prompts::Answer::No))
        return false;
    std::string before = std::exchange(m_fileName, name);
    const bool readInPart = std::exchange(m_readInPart, false);
    const SaveOutcome outcome = writeFile(prompts);
    // Cancelled, the project stays the one it was, under its old name.
    if (outcome == SaveOutcome::Cancelled) {
        m_fileName = std::move(before);
        m_readInPart = readInPart;
    }
    return outcome == SaveOutcome::Saved;
}

std::string_view TMainTreeList::EditProjectName(Prompts& prompts)
{
    std::string name(Name());
    if (InputItemText(prompts, name, text("Название проекта"))) {
        std::string before(Name());
        SetName(name);
        SetModified(true);
        m_history.Push(std::make_unique<ProjectNameStep>(std::move(before), name));
    }
    return Name();
}

std::optional<EditEffect> TMainTreeList::Undo()
{
    std::optional<EditEffect> effect = m_history.Undo(*this);
    if (effect)
        SetModified(!m_history.IsClean());
    return effect;
}

std::optional<EditEffect> TMainTreeList::Redo()
{
    std::optional<EditEffect> effect = m_history.Redo(*this);
    if (effect)
        SetModified(!m_history.IsClean());
    return effect;
}

bool TMainTreeList::LoadProjectFile(const std::string& path, Prompts& prompts)
{
    const std::optional<LoadResult> result = loadFile(path, prompts);
    return result && result->Ok;
}

std::optional<LoadResult> TMainTreeList::loadFile(const std::string& path, Prompts& prompts)
{
    LoadResult result;
    if (!prompts.RunWork(text("Открытие проекта…"), [&](const Progress& progress) {
            result = ReadProjectFile(path, progress);
        }))
        return std::nullopt;
    m_readInPart = !result.Ok || result.CutOff;
    if (!result.Ok)
        prompts.Inform(text("Не верный формат проекта!"));
    else if (result.CutOff)
        prompts.Inform(ToCp1251(CutOffWarning(path)));
    return result;
}

LoadResult TMainTreeList::ReadProjectFile(const std::string& path, const Progress& progress)
{
    FileHandle file(openRegularFile(path));
    // Taken before reading: a change while the file is read shows at the next save.
    std::optional<FileStamp> stamp = FileStamp::OfOpenFile(file.Get(), path);
    LoadResult result;
    if (file.Get() < 0) {
        result = ReadProjectText(std::string());
    } else {
        // Read beside the project, which a cancel (WorkCancelled from the reader) leaves as it
        // was; the views let go of the old items only when the new ones are there.
        TMainTreeList staging;
        FileLineReader lines(file.Get(), progress);
        result = staging.readProject(lines);
        // What was read before a failed read stays, as after a format fault. A format fault
        // before the failure ends the reading there, even when the reader, holding link lines
        // back, went further.
        result.Unreadable = lines.Failed() && result.Ok;
        takeContent(staging);
    }
    m_fileName = path;
    m_stamp = std::move(stamp);
    if (file.Get() < 0 || result.Unreadable)
        result = {false, "Cannot read the file", true};
    return result;
}

void TMainTreeList::takeContent(TMainTreeList& staging)
{
    Reset();
    // Reset left one empty tree per classifier; staging takes them to its grave.
    std::swap(m_children, staging.m_children);
    for (TTreeList* tree : m_children)
        tree->m_parent = this;
    for (TTreeList* tree : staging.m_children)
        tree->m_parent = &staging;
    SetName(staging.Name());
    SetModified(staging.Modified());
}

LoadResult TMainTreeList::ReadProjectText(const std::string& bytes)
{
    LineReader lines(bytes);
    return readProject(lines);
}

template <typename Lines>
LoadResult TMainTreeList::readProject(Lines& lines)
{
    Reset();
    std::string_view line;
    bool added = false;
    LinkLines links(*this);
    try {
        if (!lines.next(line))
            throw ELoadInvalid("Line count = 0");
        const auto [firstNumber, projectName] = splitLine(line);
        if (ComponentCount(firstNumber) != 1 || Component(firstNumber, 1) != 0)
            throw ELoadInvalid("First item number <> 0");
        SetName(std::string(projectName));

        int block = 0;  // first component of the last heading or item line
        // Link lines belong to the item that the last item line created.
        TTreeList* lastItem = nullptr;
        // The items last in pre-order, from the block's tree down: an item line names one of
        // them as its parent unless it comes out of order.
        std::vector<TTreeList*> rightmost;
        TTreeList* anchor = nullptr;  // the last of them
        std::vector<int> parts;
        PathWalker items(*this);
        while (lines.next(line)) {
            const auto [number, name] = splitLine(line);
            if (number.empty())
                throw ELoadInvalid("Empty item number");
            splitNumber(number, parts);
            const int b = parts.front();
            const bool single = parts.size() == 1;
            if (block < b && single) {
                links.Resolve();
                block = b;  // a classifier heading; its name is the metamodel's
                lastItem = nullptr;
                rightmost.clear();
                continue;
            }
            if (block <= b) {
                // An item line; when block < b it opens a block whose heading is missing.
                if (single)
                    throw ELoadInvalid("Item number without a parent");
                if (block < b) {
                    links.Resolve();
                    rightmost.clear();
                }
                TTreeList* parent = items.walk(parts, parts.size() - 1);
                const size_t depth = parts.size() - 2;  // the parent's, below its tree
                if (rightmost.empty() && depth == 0)
                    rightmost.push_back(parent);
                const bool inOrder = depth < rightmost.size() && rightmost[depth] == parent;
                lastItem = parent->AppendNamed(name);
                if (inOrder) {
                    rightmost.resize(depth + 1);
                    rightmost.push_back(lastItem);
                    anchor = lastItem;
                } else {
                    links.AddLateItem(lastItem);
                }
                added = true;
                block = b;
                continue;
            }
            if (!lastItem)
                throw ELoadInvalid("Link line without an item");
            links.Add(lastItem, anchor, number, parts);
        }
        links.Resolve();
    } catch (const std::exception& e) {
        // The link lines before the fault count, unless one of them is an earlier fault.
        std::string fault = e.what();
        try {
            links.Resolve();
        } catch (const std::exception& earlier) {
            fault = earlier.what();
        }
        SetModified(added);
        return {false, std::move(fault)};
    }
    SetModified(added);
    LoadResult whole;
    whole.CutOff = lines.Unended();
    return whole;
}

std::string TMainTreeList::ProjectFileText()
{
    StringSink sink;
    WriteProjectText(sink);
    return std::move(sink.Text);
}

// Writes the nodes a batch at a time. A link is written under whichever of its two items comes
// later in pre-order: each node gets its position in pre-order before it is written, so a
// partner with a smaller position is one already written. The positions are kept in a flat
// array by pool slot, so a partner's is found from its address without a visit to the partner
// itself, which may lie anywhere in a project of millions of nodes. A partner's number is made
// from the positions of the partner and its ancestors. Those visits are what costs: each is a
// fetch from memory that the next one waits for. So a batch first lists every partner it needs
// numbers of, then climbs the first levels from a group of them at once, a level at a time,
// asking for the nodes of a few partners ahead; the numbers are then read from nodes at hand.
class TMainTreeList::ProjectWriter {
public:
    ProjectWriter(BlockWriter& writer, const Progress& progress, uint64_t total)
        : m_writer(writer), m_progress(progress), m_total(total),
          m_slots(PoolSlotLimit(sizeof(TTreeList))), m_orderOf(size_t{m_slots} + 1, kUnwritten)
    {
    }

    // Writes the trees in pre-order; false when the sink failed.
    bool WriteTrees(const std::vector<TTreeList*>& trees)
    {
        struct Frame {
            TTreeList* node;
            size_t next;
            size_t numberLength;
        };
        std::vector<Frame> stack;
        std::string number;
        for (size_t k = 0; k < trees.size(); ++k) {
            number = std::to_string(k + 1);
            if (!add(trees[k], number))
                return false;
            stack.push_back({trees[k], 0, number.size()});
            while (!stack.empty()) {
                Frame& top = stack.back();
                if (top.next == top.node->m_children.size()) {
                    stack.pop_back();
                    continue;
                }
                const size_t i = top.next++;
                TTreeList* child = top.node->m_children[i];
                number.resize(top.numberLength);
                number += '.';
                char digits[16];
                number.append(digits, std::to_chars(digits, digits + sizeof digits, i + 1).ptr);
                if (!add(child, number))
                    return false;
                stack.push_back({child, 0, number.size()});
            }
        }
        return flush();
    }
    uint64_t Written() const { return m_written; }

private:
    static constexpr uint32_t kUnwritten = UINT32_MAX;
    static constexpr size_t kBatch = 1024;
    static constexpr size_t kBatchBytes = size_t{1} << 20;  // of the items' own numbers
    static constexpr size_t kGroup = 256;
    // Above these the ancestors are few, and found at hand.
    static constexpr int kFetchedLevels = 3;
    static constexpr size_t kAhead = 12;

    struct Item {
        TTreeList* node;
        uint32_t order;
        uint32_t numberEnd;    // in m_numbers
        uint32_t partnersEnd;  // in m_partners
    };
    struct Partner {
        uint32_t order;
        const TTreeList* node;
    };

    uint32_t slotOf(const TTreeList* node) const
    {
        return std::min(PoolSlot(node, sizeof(TTreeList)), m_slots);
    }

    bool add(TTreeList* node, const std::string& number)
    {
        m_numbers += number;
        m_items.push_back({node, m_order++, static_cast<uint32_t>(m_numbers.size()), 0});
        return (m_items.size() < kBatch && m_numbers.size() < kBatchBytes) || flush();
    }

    bool flush()
    {
        // Every node of a tree comes from the pool; the spare last entry, never written, only
        // keeps a stray one harmless.
        for (const Item& item : m_items) {
            if (const uint32_t slot = slotOf(item.node); slot < m_slots)
                m_orderOf[slot] = item.order;
        }
        findPartners();
        return writeItems();
    }

    // The partners of each item written before it, in the order they were written, a pair
    // linked twice once.
    void findPartners()
    {
        m_partners.clear();
        m_candidates.clear();
        for (uint32_t i = 0; i < m_items.size(); ++i) {
            for (const TTreeList* other : m_items[i].node->m_links)
                m_candidates.push_back({slotOf(other), i, other});
        }
        size_t c = 0;
        for (uint32_t i = 0; i < m_items.size(); ++i) {
            Item& item = m_items[i];
            const size_t first = m_partners.size();
            for (; c < m_candidates.size() && m_candidates[c].item == i; ++c) {
                if (c + kAhead < m_candidates.size())
                    __builtin_prefetch(&m_orderOf[m_candidates[c + kAhead].slot]);
                const Candidate& candidate = m_candidates[c];
                const uint32_t at = m_orderOf[candidate.slot];
                if (at < item.order)
                    m_partners.push_back({at, candidate.node});
            }
            if (m_partners.size() - first > 1) {
                const auto begin = m_partners.begin() + static_cast<ptrdiff_t>(first);
                auto byOrder = [](const Partner& a, const Partner& b) { return a.order < b.order; };
                std::sort(begin, m_partners.end(), byOrder);
                auto same = [](const Partner& a, const Partner& b) { return a.order == b.order; };
                m_partners.erase(std::unique(begin, m_partners.end(), same), m_partners.end());
            }
            item.partnersEnd = static_cast<uint32_t>(m_partners.size());
        }
    }

    // Brings the partners [begin, end) and their first ancestors into the cache, climbing from
    // all of them at once, a level at a time.
    void fetchPartners(uint32_t begin, uint32_t end)
    {
        m_climbing.clear();
        for (uint32_t p = begin; p < end; ++p)
            m_climbing.push_back(m_partners[p].node);
        for (int level = 0; level < kFetchedLevels; ++level) {
            for (size_t k = 0; k < m_climbing.size(); ++k) {
                if (k + kAhead < m_climbing.size())
                    __builtin_prefetch(m_climbing[k + kAhead]);
                if (const TTreeList* parent = m_climbing[k]->m_parent)
                    m_climbing[k] = parent;
            }
        }
    }

    void appendNumberOf(std::string& out, const TTreeList* node)
    {
        m_components.clear();
        for (; node->m_parent; node = node->m_parent)
            m_components.push_back(static_cast<uint32_t>(node->m_position + 1));
        for (size_t i = m_components.size(); i-- > 0;) {
            char digits[16];
            out.append(digits,
                       std::to_chars(digits, digits + sizeof digits, m_components[i]).ptr);
            if (i > 0)
                out += '.';
        }
    }

    bool writeItems()
    {
        std::string& out = m_writer.Text();
        uint32_t numberBegin = 0;
        uint32_t partner = 0;
        uint32_t fetched = 0;  // partners below this were asked for
        bool ok = true;
        for (const Item& item : m_items) {
            out.append(m_numbers, numberBegin, item.numberEnd - numberBegin);
            numberBegin = item.numberEnd;
            out += ' ';
            out += item.node->Name();
            out += "\r\n";
            for (; partner < item.partnersEnd; ++partner) {
                if (partner == fetched) {
                    fetched = static_cast<uint32_t>(
                        std::min(m_partners.size(), size_t{partner} + kGroup));
                    fetchPartners(partner, fetched);
                }
                appendNumberOf(out, m_partners[partner].node);
                out += "\r\n";
            }
            ++m_written;
            if (m_writer.Full())
                ReportProgress(m_progress, m_written, m_total);
            if (!m_writer.Pass()) {
                ok = false;
                break;
            }
        }
        m_items.clear();
        m_numbers.clear();
        return ok;
    }

    struct Candidate {
        uint32_t slot;
        uint32_t item;
        const TTreeList* node;
    };

    BlockWriter& m_writer;
    const Progress& m_progress;
    const uint64_t m_total;
    const uint32_t m_slots;
    std::vector<uint32_t> m_orderOf;
    uint32_t m_order = 0;
    uint64_t m_written = 0;
    std::vector<Item> m_items;
    std::string m_numbers;
    std::vector<Candidate> m_candidates;
    std::vector<Partner> m_partners;
    std::vector<const TTreeList*> m_climbing;
    std::vector<uint32_t> m_components;
};

void TMainTreeList::WriteProjectText(ByteSink& sink, const Progress& progress)
{
    const int count = std::min(Count(), kWrittenTrees);
    const std::vector<TTreeList*> trees(m_children.begin(), m_children.begin() + count);
    // Progress counts the nodes written, which are those of the written trees; counted only for
    // someone watching, since the count visits every node.
    uint64_t total = 0;
    if (progress) {
        for (TTreeList* tree : trees)
            tree->ForEachNode([&total](TTreeList*) { ++total; });
    }
    BlockWriter writer(sink);
    std::string& out = writer.Text();
    out += "0 ";
    out += Name();
    out += "\r\n";
    ProjectWriter nodes(writer, progress, total);
    nodes.WriteTrees(trees);
    writer.Pass(true);
    ReportProgress(progress, nodes.Written(), total);
}

bool TMainTreeList::WriteProjectFile(std::string* error, const Progress& progress)
{
    FileStamp written;
    if (!WriteFileAtomically(
            m_fileName, [&](ByteSink& sink) { WriteProjectText(sink, progress); }, error,
            &written))
        return false;
    m_stamp = std::move(written);
    return true;
}

}  // namespace orm
