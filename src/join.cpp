// The similarity join: a statement's rows kept per side, equal values
// grouped, the values of one side (the index side) keyed a block at a time,
// and every value of the probe side looked up in each block through its own
// keys; the candidates a probe meets are bounded cheaply, then verified by
// the measure.
//
// A block is its values' keys, 32 bits of each, sorted with the value that
// holds them: the runs of one key are its groups, and each value in a group
// its postings. A probe's groups are found by merging its sorted keys with
// the block's, or, for the values of the block itself, straight from the
// sorting, as ranges of postings. A probe marks each value it meets in a
// bitmap of the block, so a candidate is verified once however many keys it
// shares. Two values that share a key of 63 bits share its 32 bits, so
// nothing is missed; a key that shares its 32 bits by chance adds a
// candidate the measure then drops.
//
// Within one table the values are ordered by their bytes, and a pair is
// found from its earlier value: the later value's block holds it, and the
// earlier one probes, the values before the block a batch at a time, then
// the block's own values in order. So every pair is met once, in the block
// of its later value, and the pieces of the result follow one order: by
// block, by probe, by the later value, by rows. A cursor names the block
// (where it begins and ends), the probe and how many of the probe's row
// pairs went before, and a call with the same rows in any order finds the
// same pieces. A piece that starts among the block's own values needs only
// the values from its probe on: the passes of a large result key less and
// less of the block.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <emmintrin.h>
#include <new>

#include "algorithms.h"
#include "interruption.h"
#include "kernels.h"
#include "scratch.h"

namespace likeness {
namespace {

// A growable array of a trivially copyable type whose growth fails as false,
// never as an exception.
template <typename T>
class Array {
  public:
    Array() = default;
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    ~Array() { delete[] data_; }

    bool reserve(std::size_t n) {
        if (n <= capacity_) return true;
        T* grown = new (std::nothrow) T[n];
        if (grown == nullptr) return false;
        if (size_ > 0) std::memcpy(grown, data_, size_ * sizeof(T));
        delete[] data_;
        data_ = grown;
        capacity_ = n;
        return true;
    }
    // New elements are left as they are: every user writes what it reads.
    bool resize(std::size_t n) {
        if (!reserve(n)) return false;
        size_ = n;
        return true;
    }
    bool push(const T& value) {
        if (size_ == capacity_ && !reserve(capacity_ < 16 ? 16 : capacity_ * 2)) return false;
        data_[size_++] = value;
        return true;
    }
    void clear() { size_ = 0; }
    void release() {
        delete[] data_;
        data_ = nullptr;
        size_ = capacity_ = 0;
    }
    std::size_t size() const { return size_; }
    T* data() { return data_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + size_; }

  private:
    T* data_ = nullptr;
    std::size_t size_ = 0, capacity_ = 0;
};

// The bytes of the rows' ids and values, in chunks that never move.
class Arena {
  public:
    Arena() = default;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;
    ~Arena() { release(); }

    // Never nullptr but when memory cannot be had, even for no bytes.
    char* copy(const char* s, std::size_t n) {
        if (n > left_ || next_ == nullptr) {
            const std::size_t size = std::max(n + sizeof(Chunk*), kChunkBytes);
            char* chunk = new (std::nothrow) char[size];
            if (chunk == nullptr) return nullptr;
            std::memcpy(chunk, &chunks_, sizeof(Chunk*));
            chunks_ = reinterpret_cast<Chunk*>(chunk);
            next_ = chunk + sizeof(Chunk*);
            left_ = size - sizeof(Chunk*);
        }
        char* at = next_;
        if (n > 0) std::memcpy(at, s, n);
        next_ += n;
        left_ -= n;
        return at;
    }
    void release() {
        while (chunks_ != nullptr) {
            char* chunk = reinterpret_cast<char*>(chunks_);
            std::memcpy(&chunks_, chunk, sizeof(Chunk*));
            delete[] chunk;
        }
        next_ = nullptr;
        left_ = 0;
    }

  private:
    struct Chunk;
    static constexpr std::size_t kChunkBytes = 1ul << 20;
    Chunk* chunks_ = nullptr;
    char* next_ = nullptr;
    std::size_t left_ = 0;
};

struct Row {
    const char* id;
    const char* value;
    std::uint32_t id_len, value_len;
    std::uint64_t json_len;  // of the id as the result writes it
};

// A distinct value of a side and its rows: order[first] to
// order[first + rows - 1].
struct Value {
    const char* text;
    std::uint32_t len, first, rows;
};

// What a cheap bound on a pair needs of a value: its length in symbols
// (bytes, or units for the _utf8 measures), the low byte of its first six
// (equal symbols have equal low bytes, so the prefix they give is never
// shorter than the common one), and how many of its symbols fall in each
// of 32 buckets. Two values share at most the sum over the buckets of the
// smaller count: more than the symbols they have in common, whatever the
// buckets mix. Only values of at most 255 symbols are counted, so that no
// count saturates.
struct alignas(64) Profile {
    unsigned char counts[32];
    std::uint32_t symbols;
    unsigned char prefix[6];
    bool counted;
};

constexpr unsigned kMostCounted = 255;

struct Side {
    Array<Row> rows;
    Array<std::uint32_t> order;
    Array<Value> values;
    Array<Profile> profiles;
    void clear() {
        rows.release();
        order.release();
        values.release();
        profiles.release();
    }
};

struct MeasureOps {
    bool similarity;
    bool winkler;
    bool utf8;
    double (*score)(const char*, const char*, unsigned long, unsigned long);
    unsigned long (*distance)(const char*, const char*, unsigned long, unsigned long,
                              unsigned long);
};

const MeasureOps& ops_of(JoinMeasure measure) {
    static constexpr MeasureOps kOps[] = {
        {true, false, false, jaro, nullptr},
        {true, true, false, jarowinkler, nullptr},
        {false, false, false, nullptr, levenshtein_bounded},
        {false, false, false, nullptr, osa_bounded},
        {true, false, true, jaro_utf8, nullptr},
        {true, true, true, jarowinkler_utf8, nullptr},
        {false, false, true, nullptr, levenshtein_utf8_bounded},
        {false, false, true, nullptr, osa_utf8_bounded},
    };
    return kOps[static_cast<unsigned>(measure)];
}

bool keys_serve(const MeasureOps& ops, double bound) {
    return ops.similarity ? threshold_supported(bound) : bound <= kMaxKeysBound;
}

// NaN suits nothing.
bool bound_suits(const MeasureOps& ops, double bound) {
    if (ops.similarity) return bound >= 0 && bound <= 1;
    return bound >= 0 && bound == std::floor(bound) && bound < 9.2e18;
}

int compare_bytes(const char* a, std::size_t na, const char* b, std::size_t nb) {
    const int c = std::memcmp(a, b, std::min(na, nb));
    if (c != 0) return c;
    return na < nb ? -1 : na > nb ? 1 : 0;
}

// A JSON number: what the server writes for an integer, a decimal or a real.
bool json_number(const char* s, std::size_t n) {
    std::size_t i = n > 0 && s[0] == '-' ? 1 : 0;
    const auto digits = [&] {
        const std::size_t from = i;
        while (i < n && s[i] >= '0' && s[i] <= '9') ++i;
        return i > from;
    };
    if (i == n || (s[i] == '0' && i + 1 < n && s[i + 1] >= '0' && s[i + 1] <= '9') || !digits()) {
        return false;
    }
    if (i < n && s[i] == '.' && !(++i, digits())) return false;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-')) ++i;
        if (!digits()) return false;
    }
    return i == n;
}

// How a JSON string writes a byte: as itself, escaped after a backslash, or
// as \u00XX; a well-formed UTF-8 sequence is written as itself, a byte of
// none as the character of its value.
struct JsonText {
    const char* s;
    std::size_t n;

    template <typename Out>
    void write(Out out) const {
        static constexpr char kHex[] = "0123456789abcdef";
        out('"');
        for (std::size_t i = 0; i < n;) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c == '"' || c == '\\') {
                out('\\');
                out(static_cast<char>(c));
                ++i;
            } else if (c < 0x20 || c == 0x7f) {
                for (char e : {'\\', 'u', '0', '0'}) out(e);
                out(kHex[c >> 4]);
                out(kHex[c & 15]);
                ++i;
            } else if (c < 0x80) {
                out(static_cast<char>(c));
                ++i;
            } else {
                Unit unit;
                leading_units(s + i, n - i, &unit, 1);
                if (unit >= kLoneByte) {
                    // U+0080 to U+00FF in UTF-8.
                    out(static_cast<char>(0xc0 | c >> 6));
                    out(static_cast<char>(0x80 | (c & 0x3f)));
                    ++i;
                } else {
                    const std::size_t length = unit < 0x800 ? 2 : unit < 0x10000 ? 3 : 4;
                    for (std::size_t k = 0; k < length; ++k) out(s[i + k]);
                    i += length;
                }
            }
        }
        out('"');
    }
    std::size_t length() const {
        std::size_t count = 0;
        write([&](char) { ++count; });
        return count;
    }
};

// An id as the result writes it: a number's text as a JSON number, when
// the ids are numbers and it is one, else as a string. Decided once, as the
// row comes: a number's JSON is exactly as long as its text, a string's
// longer.
std::uint64_t json_length(const char* id, std::size_t n, bool numeric_ids) {
    return numeric_ids && json_number(id, n) ? n : JsonText{id, n}.length();
}

struct JsonId {
    explicit JsonId(const Row* r) : row(r) {}
    template <typename Out>
    void write(Out out) const {
        if (row->json_len == row->id_len) {
            for (std::uint32_t i = 0; i < row->id_len; ++i) out(row->id[i]);
        } else {
            JsonText{row->id, row->id_len}.write(out);
        }
    }
    std::size_t length() const { return row->json_len; }
    const Row* row;
};

Profile profile_of(const Value& v, bool utf8) {
    Profile p;
    std::memset(&p, 0, sizeof p);
    Unit units[kMostCounted + 1];
    unsigned long n;
    if (utf8) {
        n = leading_units(v.text, v.len, units, kMostCounted + 1);
    } else {
        n = std::min<unsigned long>(v.len, kMostCounted + 1);
        for (unsigned long i = 0; i < n; ++i) units[i] = static_cast<unsigned char>(v.text[i]);
    }
    p.counted = n <= kMostCounted;
    p.symbols = utf8 ? static_cast<std::uint32_t>(n) : v.len;
    for (unsigned long i = 0; i < n && p.counted; ++i) ++p.counts[units[i] * 0x9e3779b1u >> 27];
    for (unsigned i = 0; i < 6 && i < n; ++i) p.prefix[i] = static_cast<unsigned char>(units[i]);
    return p;
}

// At least as many symbols as the two values have in common.
unsigned most_common(const Profile& a, const Profile& b) {
    const __m128i* x = reinterpret_cast<const __m128i*>(a.counts);
    const __m128i* y = reinterpret_cast<const __m128i*>(b.counts);
    const __m128i zero = _mm_setzero_si128();
    const __m128i sums = _mm_add_epi64(_mm_sad_epu8(_mm_min_epu8(x[0], y[0]), zero),
                                       _mm_sad_epu8(_mm_min_epu8(x[1], y[1]), zero));
    return static_cast<unsigned>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
}

// For each common prefix L of 0 to 6 symbols, how much c (1/n + 1/p)
// must reach for a pair of lengths n and p with c common symbols to reach
// the bound: the Jaro value (c/n + c/p + 1)/3 that the raise by L lifts to
// the bound, less a margin far above the rounding of either side.
struct SimilarityNeeds {
    double least[7];
    explicit SimilarityNeeds(const MeasureOps& ops, double bound) {
        for (int L = 0; L <= 6; ++L) {
            const double raise = ops.winkler ? winkler(0.0, L) : 0.0;
            const double jaro = (bound - raise) / (1.0 - raise);
            least[L] = 3.0 * jaro - 1.0 - 1e-9;
        }
    }
};

// False only when the pair cannot be within the bound: a similarity at most
// that of all the common symbols matched without transpositions, raised by
// the common prefix; a distance at least the longer length less the common
// symbols (an edit changes that by one at most, a swap not at all).
bool may_be_within(const Profile& a, const Profile& b, const MeasureOps& ops, double bound,
                   const SimilarityNeeds& needs) {
    if (!a.counted || !b.counted) return true;
    const unsigned n = a.symbols, p = b.symbols;
    const unsigned common = std::min({most_common(a, b), n, p});
    if (!ops.similarity) return std::max(n, p) - common <= bound;
    if (common == 0) return bound <= 0;
    unsigned prefix = 0;
    if (ops.winkler) {
        const unsigned most_prefix = std::min({6u, n, p});
        while (prefix < most_prefix && a.prefix[prefix] == b.prefix[prefix]) ++prefix;
    }
    return static_cast<double>(common) * (n + p) >= needs.least[prefix] * n * p;
}

// The key entries of a block: a key's 32 bits above the value's number.
using Entry = std::uint64_t;
constexpr Entry entry(std::uint32_t key, std::uint32_t value) {
    return Entry{key} << 32 | value;
}
constexpr std::uint32_t key_of(Entry e) { return static_cast<std::uint32_t>(e >> 32); }
constexpr std::uint32_t value_of(Entry e) { return static_cast<std::uint32_t>(e); }

// In place, most significant byte first, down to runs that sort in cache;
// false when the statement was killed.
bool sort_entries(Entry* a, std::size_t n, unsigned shift, KillCheck& kill) {
    constexpr std::size_t kSmall = 4096;
    if (n <= kSmall || shift < 32) {
        std::sort(a, a + n);
        return !kill.killed_after(n * 8);
    }
    std::size_t count[256] = {};
    for (std::size_t i = 0; i < n; ++i) ++count[a[i] >> shift & 255];
    std::size_t next[256], end[256];
    std::size_t at = 0;
    for (unsigned b = 0; b < 256; ++b) {
        next[b] = at;
        at += count[b];
        end[b] = at;
    }
    for (unsigned b = 0; b < 256; ++b) {
        while (next[b] < end[b]) {
            Entry e = a[next[b]];
            unsigned d = e >> shift & 255;
            while (d != b) {
                std::swap(e, a[next[d]++]);
                d = e >> shift & 255;
            }
            a[next[b]++] = e;
        }
    }
    if (kill.killed_after(n * 2)) return false;
    for (unsigned b = 0; b < 256; ++b) {
        if (count[b] > 1 && !sort_entries(a + end[b] - count[b], count[b], shift - 8, kill)) {
            return false;
        }
    }
    return true;
}

// A postings list written over the storage of the sorted entries it came
// from: the k-th posting takes the bytes of half an entry that has been read.
class Postings {
  public:
    explicit Postings(Entry* storage = nullptr) : bytes_(reinterpret_cast<unsigned char*>(storage)) {}
    void set(std::size_t i, std::uint32_t value) { std::memcpy(bytes_ + 4 * i, &value, 4); }
    void prefetch(std::size_t i) const { __builtin_prefetch(bytes_ + 4 * i); }
    std::uint32_t operator[](std::size_t i) const {
        std::uint32_t value;
        std::memcpy(&value, bytes_ + 4 * i, 4);
        return value;
    }

  private:
    unsigned char* bytes_;
};

// Postings [begin, end) that a probe visits: those of one of its groups
// that lie before it.
struct Range {
    std::uint32_t begin, end;
};

// The ranges of the probes [begin, end): of probe p, ranges[offsets[p -
// begin]] up to ranges[offsets[p - begin + 1]].
struct ProbeRanges {
    std::uint32_t begin = 0, end = 0;
    Array<std::uint64_t> offsets;
    Array<Range> ranges;
    void release() {
        offsets.release();
        ranges.release();
        begin = end = 0;
    }
};

// One block of the index side: values [from, end), of which [begin, end)
// are keyed. Probes from outside the block, which merge their keys with
// the block's, need every group's key and postings; the block's own values
// need only the groups of more than one.
struct Block {
    std::uint32_t from = 0, begin = 0, end = 0;
    Array<Entry> entries;  // sorted; then the postings' storage
    Postings postings;
    Array<std::uint32_t> group_key;
    Array<std::uint32_t> group_start;  // and one past the last
    void release() {
        entries.release();
        group_key.release();
        group_start.release();
    }
};

struct Match {
    std::uint32_t value;
    double score;
};

// A pair of rows: within one table the one that came first above the
// other, in a link the left row above the right one.
struct PairOut {
    std::uint64_t rows;
    double score;
};

// Where a piece starts: the block (its first value, and one past its last,
// or 0 when no piece has ended within it), the probe, and how many of the
// probe's row pairs in that block went before. Clusters use the probe
// alone, for the first component of the piece.
struct Cursor {
    std::uint64_t block = 0, end = 0, probe = 0, skip = 0;
};

bool parse_cursor(const char* s, std::size_t n, Cursor& cursor) {
    cursor = Cursor{};
    if (n == 0) return true;
    std::uint64_t* fields[] = {&cursor.block, &cursor.end, &cursor.probe, &cursor.skip};
    constexpr unsigned kFields = sizeof fields / sizeof fields[0];
    const char* at = s;
    const char* end = s + n;
    for (unsigned f = 0; f < kFields; ++f) {
        const auto [next, error] = std::from_chars(at, end, *fields[f]);
        if (error != std::errc() || next == at) return false;
        at = next;
        if (f + 1 < kFields) {
            if (at == end || *at != '.') return false;
            ++at;
        }
    }
    return at == end;
}

}  // namespace

struct Join {
    JoinMeasure measure;
    JoinResult result;
    bool numeric_ids;
    JoinLimits limits;
    const MeasureOps* ops;

    // The statement's bound, cursor and rows.
    bool started = false, failed = false, link = false;
    double bound = 0;
    Cursor cursor;
    Arena arena;
    Side sides[2];

    // Scratch kept for the statement.
    SimilarityKeyPlan plan;
    long long keys[kMaxSimilarityKeys];
    std::uint32_t folded[kMaxSimilarityKeys];
    Array<char> piece;
};

namespace {

// The work of one piece.
class Run {
  public:
    explicit Run(Join& join) : j_(join), ops_(*join.ops), needs_(*join.ops, join.bound) {}
    ~Run() {
        block_.release();
        probes_.release();
    }

    const char* piece(unsigned long* length);

  private:
    bool prepare_side(Side& side);
    bool keyed() const { return keys_serve(ops_, j_.bound); }
    unsigned keys_of(const Value& v, std::uint32_t* out);
    bool build_block(std::uint32_t from, std::uint32_t end, std::uint32_t begin);
    std::size_t most_entries(std::size_t values, std::size_t cap) const;
    bool group_block(bool other_probes);
    bool own_ranges();
    bool key_probes(std::uint32_t begin, std::uint32_t limit);
    bool verify(const Side& sa, std::uint32_t a, const Side& sb, std::uint32_t b, double& score,
                bool& within);
    template <typename Visit>
    bool candidates(std::uint32_t probe, Visit visit);
    template <typename Each>
    bool each_probe(std::uint32_t from, Each each);
    bool pairs();
    bool clusters();
    bool emit_probe(std::uint32_t probe, std::uint64_t skip);
    bool write_pairs(const Cursor* next);
    bool write_clusters(std::uint64_t from, std::uint64_t* next);
    std::uint32_t find(std::uint32_t v);
    bool mark(std::uint32_t u) {
        std::uint64_t& word = marks_[(u - block_.begin) >> 6];
        const std::uint64_t bit = std::uint64_t{1} << ((u - block_.begin) & 63);
        const bool was = (word & bit) != 0;
        word |= bit;
        return !was;
    }
    void unmark(std::uint32_t u) {
        marks_[(u - block_.begin) >> 6] &= ~(std::uint64_t{1} << ((u - block_.begin) & 63));
    }
    bool start_block(std::uint32_t from, std::uint32_t end, std::uint32_t probe);

    Join& j_;
    const MeasureOps& ops_;
    const SimilarityNeeds needs_;
    KillCheck kill_;
    Side* index_ = nullptr;  // whose values are keyed in blocks
    Side* probe_ = nullptr;  // whose values look them up
    bool self_ = true;
    Block block_;
    ProbeRanges probes_;
    Array<std::uint64_t> marks_;    // a bit for each value of the block
    Array<std::uint32_t> met_;      // the values a probe meets
    Array<Match> matches_;
    Array<PairOut> out_;
    std::size_t out_bytes_ = 0;
    bool full_ = false;
    Cursor next_;
    Array<std::uint32_t> parent_;  // the components, by value of the one side
};

// The rows in order of value (by bytes: values that begin alike, which
// share keys, lie together) and then of id's bytes, so that every pass
// over the same rows, in whatever order they come, counts a value's rows
// alike; and the distinct values with their profiles.
bool Run::prepare_side(Side& side) {
    const std::size_t n = side.rows.size();
    // The first eight bytes as a number, for a quick first comparison.
    Array<std::uint64_t> leads;
    if (!leads.resize(n) || !side.order.resize(n)) return false;
    for (std::size_t i = 0; i < n; ++i) {
        const Row& row = side.rows[i];
        unsigned char lead[8] = {};
        std::memcpy(lead, row.value, std::min<std::size_t>(8, row.value_len));
        std::uint64_t x = 0;
        for (unsigned char b : lead) x = x << 8 | b;
        leads[i] = x;
        side.order[i] = static_cast<std::uint32_t>(i);
    }
    const Row* rows = side.rows.data();
    const std::uint64_t* lead = leads.data();
    std::sort(side.order.begin(), side.order.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (lead[a] != lead[b]) return lead[a] < lead[b];
        int c = compare_bytes(rows[a].value, rows[a].value_len, rows[b].value, rows[b].value_len);
        if (c == 0) c = compare_bytes(rows[a].id, rows[a].id_len, rows[b].id, rows[b].id_len);
        return c != 0 ? c < 0 : a < b;
    });
    if (kill_.killed_after(n * 32)) return false;
    side.values.clear();
    for (std::size_t i = 0; i < n; ++i) {
        const Row& row = rows[side.order[i]];
        if (i > 0) {
            Value& last = side.values[side.values.size() - 1];
            if (last.len == row.value_len && std::memcmp(last.text, row.value, row.value_len) == 0) {
                ++last.rows;
                continue;
            }
        }
        if (!side.values.push({row.value, row.value_len, static_cast<std::uint32_t>(i), 1})) {
            return false;
        }
    }
    if (!side.profiles.resize(side.values.size())) return false;
    for (std::size_t v = 0; v < side.values.size(); ++v) {
        side.profiles[v] = profile_of(side.values[v], ops_.utf8);
        if (kill_.killed_after(kMostCounted)) return false;
    }
    return true;
}

unsigned Run::keys_of(const Value& v, std::uint32_t* out) {
    unsigned n;
    if (ops_.similarity) {
        n = (ops_.utf8 ? similarity_keys_utf8 : similarity_keys)(v.text, v.len, j_.bound, j_.plan,
                                                                  j_.keys);
    } else {
        n = (ops_.utf8 ? deletion_keys_utf8 : deletion_keys)(
            v.text, v.len, static_cast<unsigned>(j_.bound), kNewestKeysVersion, j_.keys);
    }
    for (unsigned i = 0; i < n; ++i) {
        const auto k = static_cast<std::uint64_t>(j_.keys[i]);
        out[i] = static_cast<std::uint32_t>(k ^ k >> 32);
    }
    kill_.killed_after(64 * (n + 1));
    return n;
}

// The entries a block may hold: the statement's memory for its entries (8
// bytes) and the groups of its own values as probes (4 bytes each).
std::size_t block_entries(const JoinLimits& limits) { return limits.memory / 12; }
// A batch of later probes: a tenth of that.
std::size_t batch_entries(const JoinLimits& limits) { return block_entries(limits) / 10; }

// The entries `values` values may need, at most cap or one value's keys:
// reserved, not touched, so that what is never written costs no memory.
std::size_t Run::most_entries(std::size_t values, std::size_t cap) const {
    const std::size_t most = ops_.similarity ? kMaxSimilarityKeys : kMaxKeys;
    return values > cap / most ? std::max(cap, most) : values * most;
}

// The block of the index side from `from` on: as many values as fit a
// block, or up to `end` when a piece before found where it ends (else 0);
// keyed from `begin` on.
bool Run::build_block(std::uint32_t from, std::uint32_t end, std::uint32_t begin) {
    block_.release();
    block_.from = from;
    block_.begin = begin;
    const Value* values = index_->values.data();
    const auto n = static_cast<std::uint32_t>(index_->values.size());
    const std::uint32_t last = end != 0 ? end : n;
    if (!keyed()) {
        block_.end = n;
        return true;
    }
    Array<Entry>& entries = block_.entries;
    const std::size_t most = block_entries(j_.limits);
    if (!entries.reserve(most_entries(last - begin, most))) return false;
    std::uint32_t v = begin;
    for (; v < last; ++v) {
        const unsigned count = keys_of(values[v], j_.folded);
        if (end == 0 && entries.size() + count > most && v > begin) break;
        for (unsigned i = 0; i < count; ++i) {
            if (!entries.push(entry(j_.folded[i], v))) return false;
        }
        if (kill_.killed()) return false;
    }
    block_.end = v;
    return sort_entries(entries.data(), entries.size(), 56, kill_);
}

// The groups of the sorted entries, their postings written over the
// entries: every group when probes from outside the block merge their keys
// with it, else only the groups of more than one posting, which alone pair
// the block's own values.
bool Run::group_block(bool other_probes) {
    const Entry* e = block_.entries.data();
    const std::size_t n = block_.entries.size();
    std::size_t groups = 0;
    const auto each_group = [&](auto group) {
        for (std::size_t i = 0; i < n;) {
            std::size_t k = i + 1;
            while (k < n && key_of(e[k]) == key_of(e[i])) ++k;
            if (k - i > 1 || other_probes) group(i, k);
            i = k;
        }
        return !kill_.killed_after(n);
    };
    if (!each_group([&](std::size_t, std::size_t) { ++groups; }) ||
        !block_.group_start.resize(groups + 1) ||
        (other_probes && !block_.group_key.resize(groups))) {
        return false;
    }
    block_.postings = Postings(block_.entries.data());
    std::uint32_t g = 0, at = 0;
    const bool ok = each_group([&](std::size_t i, std::size_t k) {
        if (other_probes) block_.group_key[g] = key_of(e[i]);
        block_.group_start[g++] = at;
        for (std::size_t m = i; m < k; ++m) block_.postings.set(at++, value_of(e[m]));
    });
    block_.group_start[g] = at;
    return ok;
}

// For each of the block's own values (within one table) the ranges of the
// postings after it in its groups: the later values it meets as a probe.
bool Run::own_ranges() {
    ProbeRanges& own = probes_;
    own.release();
    own.begin = block_.begin;
    own.end = block_.end;
    const std::uint32_t width = own.end - own.begin;
    const std::uint32_t* start = block_.group_start.data();
    const std::size_t groups = block_.group_start.size() - 1;
    const Postings& postings = block_.postings;
    if (!own.offsets.resize(width + 1)) return false;
    std::fill(own.offsets.begin(), own.offsets.end(), 0);
    for (std::size_t g = 0; g < groups; ++g) {
        for (std::uint32_t q = start[g]; q + 1 < start[g + 1]; ++q) ++own.offsets[postings[q] - own.begin + 1];
    }
    if (kill_.killed_after(start[groups])) return false;
    for (std::uint32_t p = 0; p < width; ++p) own.offsets[p + 1] += own.offsets[p];
    Array<std::uint64_t> fill;
    if (!own.ranges.resize(own.offsets[width]) || !fill.resize(width)) return false;
    std::copy(own.offsets.begin(), own.offsets.begin() + width, fill.begin());
    for (std::size_t g = 0; g < groups; ++g) {
        for (std::uint32_t q = start[g]; q + 1 < start[g + 1]; ++q) {
            own.ranges[fill[postings[q] - own.begin]++] = {q + 1, start[g + 1]};
        }
    }
    return !kill_.killed_after(start[groups]);
}

// Keys a batch of probe values from begin on, before limit, and merges
// their keys with the block's: for each probe, the postings of every group
// of its keys.
bool Run::key_probes(std::uint32_t begin, std::uint32_t limit) {
    probes_.release();
    probes_.begin = begin;
    const Value* values = probe_->values.data();
    Array<Entry> entries;
    const std::size_t most = batch_entries(j_.limits);
    if (!entries.reserve(most_entries(limit - begin, most))) return false;
    std::uint32_t p = begin;
    for (; p < limit; ++p) {
        const unsigned count = keys_of(values[p], j_.folded);
        if (entries.size() + count > most && p > begin) break;
        for (unsigned i = 0; i < count; ++i) {
            if (!entries.push(entry(j_.folded[i], p))) return false;
        }
        if (kill_.killed()) return false;
    }
    probes_.end = p;
    if (!sort_entries(entries.data(), entries.size(), 56, kill_)) return false;
    const std::uint32_t width = p - begin;
    if (!probes_.offsets.resize(width + 1)) return false;
    std::fill(probes_.offsets.begin(), probes_.offsets.end(), 0);
    const std::uint32_t* group_keys = block_.group_key.data();
    const std::size_t groups = block_.group_key.size();
    // Each entry's group, or none: one merge to count, one to write.
    const auto merge = [&](auto found) {
        std::size_t g = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const std::uint32_t key = key_of(entries[i]);
            while (g < groups && group_keys[g] < key) ++g;
            if (g == groups) break;
            if (group_keys[g] == key) found(value_of(entries[i]) - begin, g);
        }
        return !kill_.killed_after(entries.size() + groups);
    };
    if (!merge([&](std::uint32_t probe, std::size_t) { ++probes_.offsets[probe + 1]; })) {
        return false;
    }
    for (std::uint32_t i = 0; i < width; ++i) probes_.offsets[i + 1] += probes_.offsets[i];
    Array<std::uint64_t> fill;
    if (!probes_.ranges.resize(probes_.offsets[width]) || !fill.resize(width)) return false;
    std::copy(probes_.offsets.begin(), probes_.offsets.begin() + width, fill.begin());
    return merge([&](std::uint32_t probe, std::size_t g) {
        probes_.ranges[fill[probe]++] = {block_.group_start[g], block_.group_start[g + 1]};
    });
}

bool Run::verify(const Side& sa, std::uint32_t a, const Side& sb, std::uint32_t b, double& score,
                 bool& within) {
    within = false;
    // Counted whether or not the measure runs: a join of every pair may
    // drop nearly all of them by their profiles.
    if (kill_.killed_after(16)) return false;
    if (!may_be_within(sa.profiles[a], sb.profiles[b], ops_, j_.bound, needs_)) return true;
    const Value& x = sa.values[a];
    const Value& y = sb.values[b];
    if (kill_.killed_after(x.len + y.len)) return false;
    if (ops_.similarity) {
        score = ops_.score(x.text, y.text, x.len, y.len);
        if (std::isnan(score)) return false;
        within = score >= j_.bound;
        return true;
    }
    const auto k = static_cast<unsigned long>(j_.bound);
    const unsigned long d = ops_.distance(x.text, y.text, x.len, y.len, k);
    if (d == kDistanceFailed) return false;
    score = static_cast<double>(d);
    within = d <= k;
    return true;
}

// Calls visit(u) for every value of the index block that the probe meets,
// once each: through its ranges, or every one when no keys serve; within
// one table only the values after the probe. The values met are gathered
// first, so that their profiles can be fetched ahead of the visits.
template <typename Visit>
bool Run::candidates(std::uint32_t probe, Visit visit) {
    if (!keyed()) {
        const std::uint32_t first = self_ ? std::max(probe + 1, block_.begin) : block_.begin;
        if (first < block_.end && kill_.killed_after(block_.end - first)) return false;
        for (std::uint32_t u = first; u < block_.end; ++u) {
            if (!visit(u)) return false;
        }
        return true;
    }
    constexpr std::size_t kAhead = 8;
    met_.clear();
    const bool own = self_ && probe >= block_.begin && probe < block_.end;
    if (own) mark(probe);  // a value whose keys fold alike meets itself
    const std::uint32_t at = probe - probes_.begin;
    std::size_t visited = 0;
    const std::uint64_t first = probes_.offsets[at], end = probes_.offsets[at + 1];
    for (std::uint64_t i = first; i < end; ++i) {
        if (i + kAhead < end) block_.postings.prefetch(probes_.ranges[i + kAhead].begin);
        const Range r = probes_.ranges[i];
        visited += r.end - r.begin;
        for (std::uint32_t k = r.begin; k < r.end; ++k) {
            const std::uint32_t u = block_.postings[k];
            if (mark(u) && !met_.push(u)) return false;
        }
    }
    if (own) unmark(probe);
    for (std::uint32_t u : met_) unmark(u);
    if (kill_.killed_after(visited)) return false;
    const Profile* profiles = index_->profiles.data();
    for (std::size_t i = 0; i < met_.size(); ++i) {
        if (i + kAhead < met_.size()) __builtin_prefetch(&profiles[met_[i + kAhead]]);
        if (!visit(met_[i])) return false;
    }
    return true;
}

// The block from `from` on (to `end`, when known) for the probes from
// `probe` on: keyed from the first value they may meet (within one table,
// the values after a probe of the block's own), grouped, its marks clear.
bool Run::start_block(std::uint32_t from, std::uint32_t end, std::uint32_t probe) {
    const bool other_probes = !self_ || probe < from;
    probes_.release();
    if (!build_block(from, end, other_probes ? from : probe)) return false;
    if (keyed() && !group_block(other_probes)) return false;
    if (!marks_.resize((block_.end - block_.begin + 63) / 64)) return false;
    std::fill(marks_.begin(), marks_.end(), 0);
    return true;
}

// Calls each(probe) for every probe of the block from `from` on, in order,
// with the ranges of its groups in probes_: within one table the values
// before the block a batch at a time, then the block's own values; in a
// link every value of the other side a batch at a time.
template <typename Each>
bool Run::each_probe(std::uint32_t from, Each each) {
    const auto n = self_ ? block_.end : static_cast<std::uint32_t>(probe_->values.size());
    for (std::uint32_t p = from; p < n;) {
        if (keyed() && !(p >= probes_.begin && p < probes_.end)) {
            const bool own = self_ && p >= block_.begin;
            if (own ? !own_ranges() : !key_probes(p, self_ ? block_.begin : n)) return false;
        }
        for (const std::uint32_t end = keyed() ? probes_.end : n; p < end; ++p) {
            if (!each(p)) return false;
            if (full_) return true;
        }
    }
    return true;
}

// The row pairs of a probe within the current block, from the skip-th on:
// the pairs of its own rows (within one table, in its own block), then
// those with each near value in order.
bool Run::emit_probe(std::uint32_t probe, std::uint64_t skip) {
    matches_.clear();
    const Value* ix = index_->values.data();
    const Value& pv = probe_->values[probe];
    bool ok = candidates(probe, [&](std::uint32_t u) {
        double score = 0;
        bool within = false;
        if (!verify(*index_, u, *probe_, probe, score, within)) return false;
        return !within || matches_.push({u, score});
    });
    if (!ok) return false;
    std::sort(matches_.begin(), matches_.end(),
              [](const Match& a, const Match& b) { return a.value < b.value; });
    std::uint64_t seen = 0;
    const Row* irows = index_->rows.data();
    const Row* prows = probe_->rows.data();
    const auto add = [&](std::uint32_t first, std::uint32_t second, double score) {
        if (seen++ < skip) return true;
        // [first,second,score], and a comma: a score takes at most 24.
        const std::size_t bytes = 5 + JsonId{&irows[first]}.length() +
                                  JsonId{&prows[second]}.length() + 24;
        if (out_bytes_ + bytes > j_.limits.piece_bytes && out_.size() > 0) {
            full_ = true;
            next_ = Cursor{block_.from, block_.end, probe, seen - 1};
            return false;
        }
        out_bytes_ += bytes;
        const bool index_left = index_ == &j_.sides[0];
        const std::uint32_t upper = self_ ? std::min(first, second) : index_left ? first : second;
        const std::uint32_t lower = self_ ? std::max(first, second) : index_left ? second : first;
        return out_.push({std::uint64_t{upper} << 32 | lower, score});
    };
    const std::uint32_t* iorder = index_->order.data();
    const std::uint32_t* porder = probe_->order.data();
    if (self_ && probe >= block_.begin && probe < block_.end && pv.rows > 1) {
        double score = 0;
        bool within = false;
        if (!verify(*probe_, probe, *probe_, probe, score, within)) return false;
        for (std::uint32_t a = 0; within && a < pv.rows; ++a) {
            for (std::uint32_t b = a + 1; b < pv.rows; ++b) {
                if (!add(porder[pv.first + a], porder[pv.first + b], score)) return full_;
            }
        }
    }
    for (const Match& m : matches_) {
        const Value& u = ix[m.value];
        for (std::uint32_t a = 0; a < u.rows; ++a) {
            for (std::uint32_t b = 0; b < pv.rows; ++b) {
                if (!add(iorder[u.first + a], porder[pv.first + b], m.score)) return full_;
            }
            if (kill_.killed_after(pv.rows)) return false;
        }
    }
    return true;
}

bool Run::pairs() {
    const auto n = static_cast<std::uint32_t>(index_->values.size());
    const Cursor& c = j_.cursor;
    if (c.block > n || c.end > n || (c.end != 0 && c.end <= c.block) ||
        c.probe > (self_ && c.end != 0 ? c.end - 1 : probe_->values.size())) {
        return false;
    }
    auto from = static_cast<std::uint32_t>(c.block), end = static_cast<std::uint32_t>(c.end),
         probe = static_cast<std::uint32_t>(c.probe);
    std::uint64_t skip = c.skip;
    while (from < n) {
        if (!start_block(from, end, probe)) return false;
        const bool ok = each_probe(probe, [&](std::uint32_t p) {
            const bool emitted = emit_probe(p, skip);
            skip = 0;
            return emitted;
        });
        if (!ok) return false;
        if (full_) return true;
        from = block_.end;
        end = probe = 0;
    }
    return true;
}

std::uint32_t Run::find(std::uint32_t v) {
    while (parent_[v] != v) {
        parent_[v] = parent_[parent_[v]];
        v = parent_[v];
    }
    return v;
}

// The components of the values, by every pair within the bound; a pair
// whose values are joined already is not verified.
bool Run::clusters() {
    const auto n = static_cast<std::uint32_t>(index_->values.size());
    if (!parent_.resize(n)) return false;
    for (std::uint32_t v = 0; v < n; ++v) parent_[v] = v;
    for (std::uint32_t from = 0; from < n; from = block_.end) {
        if (!start_block(from, 0, 0)) return false;
        const bool ok = each_probe(0, [&](std::uint32_t p) {
            return candidates(p, [&](std::uint32_t u) {
                std::uint32_t a = find(u), b = find(p);
                if (a == b) return true;
                double score = 0;
                bool within = false;
                if (!verify(*index_, u, *index_, p, score, within)) return false;
                if (within) parent_[std::max(a, b)] = std::min(a, b);
                return true;
            });
        });
        if (!ok) return false;
    }
    return true;
}

// The shortest text that reads back as the same double.
void write_number(Array<char>& out, double x) {
    char text[32];
    const char* end = std::to_chars(text, text + sizeof text, x).ptr;
    for (const char* c = text; c < end; ++c) out.push(*c);
}

// Written by hand: the library's own integer conversions would export their
// table of digits.
void write_number(Array<char>& out, std::uint64_t x) {
    char text[20];
    int n = 0;
    do {
        text[n++] = static_cast<char>('0' + x % 10);
        x /= 10;
    } while (x != 0);
    while (n > 0) out.push(text[--n]);
}

void write_text(Array<char>& out, const char* s) {
    for (; *s != 0; ++s) out.push(*s);
}

void write_cursor(Array<char>& out, const Cursor* next) {
    write_text(out, "{\"next\":");
    if (next == nullptr) {
        write_text(out, "null");
        return;
    }
    out.push('"');
    write_number(out, next->block);
    out.push('.');
    write_number(out, next->end);
    out.push('.');
    write_number(out, next->probe);
    out.push('.');
    write_number(out, next->skip);
    out.push('"');
}

// Opens the piece's list of chunks.
void write_head(Array<char>& out, const Cursor* next, const char* list) {
    write_cursor(out, next);
    write_text(out, ",\"");
    write_text(out, list);
    write_text(out, "\":[");
}

// The piece, into the join's buffer, reserved whole first so that writing
// never fails: its pairs in chunks.
bool Run::write_pairs(const Cursor* next) {
    Array<char>& out = j_.piece;
    out.clear();
    const std::size_t chunk_rows = j_.limits.chunk_rows;
    const std::size_t chunks = (out_.size() + chunk_rows - 1) / chunk_rows;
    if (!out.reserve(out_bytes_ + 3 * chunks + 128)) return false;
    write_head(out, next, "pairs");
    // In the order the rows came in: a scan of an InnoDB table gives them
    // in the order of its primary key, and a table of the pairs is then
    // written from one end to the other.
    std::sort(out_.begin(), out_.end(),
              [](const PairOut& a, const PairOut& b) { return a.rows < b.rows; });
    if (kill_.killed_after(out_.size() * 24)) return false;
    const Row* left = j_.sides[0].rows.data();
    const Row* right = j_.sides[self_ ? 0 : 1].rows.data();
    const auto push = [&](char c) { out.push(c); };
    for (std::size_t i = 0; i < out_.size(); ++i) {
        const PairOut& p = out_[i];
        const Row* first = &left[p.rows >> 32];
        const Row* second = &right[p.rows & 0xffffffffu];
        if (i % chunk_rows == 0) {
            if (i > 0) write_text(out, "],");
            out.push('[');
        } else {
            out.push(',');
        }
        out.push('[');
        JsonId{first}.write(push);
        out.push(',');
        JsonId{second}.write(push);
        out.push(',');
        if (ops_.similarity) {
            write_number(out, p.score);
        } else {
            write_number(out, static_cast<std::uint64_t>(p.score));
        }
        out.push(']');
        if (kill_.killed_after(64)) return false;
    }
    write_text(out, out_.size() > 0 ? "]]}" : "]}");
    return true;
}

// The rows of each component together, components in order of their first
// value, from component `from` on, until the piece is full; chunks of
// whole components, each of the limit's rows or more but the last.
bool Run::write_clusters(std::uint64_t from, std::uint64_t* next) {
    const auto n = static_cast<std::uint32_t>(index_->values.size());
    // The values of each component, in order: a counting sort by root.
    Array<std::uint32_t> component, start, members;
    if (!component.resize(n) || !start.resize(n + 1) || !members.resize(n)) return false;
    std::uint32_t components = 0;
    for (std::uint32_t v = 0; v < n; ++v) {
        const std::uint32_t root = find(v);
        component[v] = root == v ? components++ : component[root];
    }
    std::fill(start.begin(), start.begin() + components + 1, 0);
    for (std::uint32_t v = 0; v < n; ++v) ++start[component[v] + 1];
    for (std::uint32_t c = 0; c < components; ++c) start[c + 1] += start[c];
    for (std::uint32_t v = 0; v < n; ++v) members[start[component[v]]++] = v;
    for (std::uint32_t c = components; c > 0; --c) start[c] = start[c - 1];
    start[0] = 0;
    if (kill_.killed_after(8 * n)) return false;
    // A value alone in its component whose rows are not within the bound of
    // each other (the empty value, by a similarity above 0) leaves each row
    // a component of its own.
    const auto rows_apart = [&](std::uint32_t c, bool& apart) {
        const Value& v = index_->values[members[start[c]]];
        apart = false;
        if (start[c + 1] - start[c] > 1 || v.rows < 2) return true;
        double score = 0;
        bool within = false;
        if (!verify(*index_, members[start[c]], *index_, members[start[c]], score, within)) {
            return false;
        }
        apart = !within;
        return true;
    };
    if (from > components) return false;
    const Value* values = index_->values.data();
    const Row* rows = index_->rows.data();
    const std::uint32_t* order = index_->order.data();
    // The components that fit, and where each chunk ends.
    std::size_t bytes = 0, in_chunk = 0;
    Array<std::uint32_t> chunk_end;
    auto c = static_cast<std::uint32_t>(from);
    for (; c < components; ++c) {
        std::size_t size = 0, count = 0;
        for (std::uint32_t m = start[c]; m < start[c + 1]; ++m) {
            const Value& v = values[members[m]];
            for (std::uint32_t r = 0; r < v.rows; ++r) {
                size += 4 + JsonId{&rows[order[v.first + r]]}.length() + 11;
            }
            count += v.rows;
        }
        if (bytes + size > j_.limits.piece_bytes && c > from) break;
        bytes += size;
        in_chunk += count;
        if (in_chunk >= j_.limits.chunk_rows) {
            if (!chunk_end.push(c + 1)) return false;
            in_chunk = 0;
        }
        if (kill_.killed_after(size)) return false;
    }
    if (in_chunk > 0 && !chunk_end.push(c)) return false;
    *next = c;
    Array<char>& out = j_.piece;
    out.clear();
    if (!out.reserve(bytes + 3 * chunk_end.size() + 128)) return false;
    Cursor cursor{0, 0, c, 0};
    write_head(out, c < components ? &cursor : nullptr, "clusters");
    const auto push = [&](char ch) { out.push(ch); };
    // Each chunk's rows in the order they came in, as pairs are: those of a
    // component of more than one row with its label, the place of its first
    // row in the order of values and rows (the same in every piece); a row
    // alone by itself.
    constexpr std::uint32_t kAlone = 0xffffffffu;
    Array<std::uint64_t> chunk;
    auto k = static_cast<std::uint32_t>(from);
    for (std::size_t e = 0; e < chunk_end.size(); ++e) {
        chunk.clear();
        for (; k < chunk_end[e]; ++k) {
            bool apart = false;
            if (!rows_apart(k, apart)) return false;
            const Value& lead = values[members[start[k]]];
            const bool single = apart || (start[k + 1] - start[k] == 1 && lead.rows == 1);
            for (std::uint32_t m = start[k]; m < start[k + 1]; ++m) {
                const Value& v = values[members[m]];
                for (std::uint32_t r = 0; r < v.rows; ++r) {
                    const std::uint64_t row = order[v.first + r];
                    if (!chunk.push(row << 32 | (single ? kAlone : lead.first))) return false;
                }
            }
        }
        std::sort(chunk.begin(), chunk.end());
        if (kill_.killed_after(chunk.size() * 24)) return false;
        write_text(out, e > 0 ? ",[" : "[");
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            const std::uint32_t label = chunk[i] & 0xffffffffu;
            write_text(out, i > 0 ? ",[" : "[");
            JsonId{&rows[chunk[i] >> 32]}.write(push);
            if (label != kAlone) {
                out.push(',');
                write_number(out, std::uint64_t{label});
            }
            out.push(']');
            if (kill_.killed_after(64)) return false;
        }
        out.push(']');
    }
    write_text(out, "]}");
    return true;
}

const char* Run::piece(unsigned long* length) {
    if (j_.failed) return nullptr;
    if (!j_.started) {
        // No rows at all.
        j_.piece.clear();
        if (!j_.piece.reserve(64)) return nullptr;
        write_head(j_.piece, nullptr, j_.result == JoinResult::kPairs ? "pairs" : "clusters");
        write_text(j_.piece, "]}");
        *length = j_.piece.size();
        return j_.piece.data();
    }
    for (Side& side : j_.sides) {
        if (!prepare_side(side)) return nullptr;
    }
    self_ = !j_.link;
    if (self_) {
        index_ = probe_ = &j_.sides[0];
    } else {
        const bool left_smaller = j_.sides[0].values.size() <= j_.sides[1].values.size();
        index_ = &j_.sides[left_smaller ? 0 : 1];
        probe_ = &j_.sides[left_smaller ? 1 : 0];
    }
    bool ok;
    if (j_.result == JoinResult::kClusters) {
        std::uint64_t next = 0;
        ok = clusters() && write_clusters(j_.cursor.probe, &next);
    } else {
        ok = pairs();
        block_.release();
        probes_.release();
        ok = ok && write_pairs(full_ ? &next_ : nullptr);
    }
    if (!ok) return nullptr;
    *length = j_.piece.size();
    return j_.piece.data();
}

}  // namespace

bool join_bound_suits(JoinMeasure measure, double bound) {
    return bound_suits(ops_of(measure), bound);
}

bool join_is_similarity(JoinMeasure measure) { return ops_of(measure).similarity; }

Join* join_create(JoinMeasure measure, JoinResult result, bool numeric_ids, JoinLimits limits) {
    Join* join = new (std::nothrow) Join;
    if (join == nullptr) return nullptr;
    join->measure = measure;
    join->result = result;
    join->numeric_ids = numeric_ids;
    join->limits = limits;
    join->ops = &ops_of(measure);
    return join;
}

void join_destroy(Join* join) { delete join; }

void join_clear(Join& join) {
    join.started = join.failed = join.link = false;
    join.arena.release();
    for (Side& side : join.sides) side.clear();
    join.piece.release();
}

void join_add(Join& join, const JoinRow& row) {
    if (!join.started) {
        join.started = true;
        join.link = row.link;
        join.bound = row.bound;
        join.failed = !bound_suits(*join.ops, row.bound) ||
                      !parse_cursor(row.cursor, row.cursor == nullptr ? 0 : row.cursor_len, join.cursor);
    }
    if (join.failed || row.id == nullptr || row.value == nullptr) return;
    Side& side = join.sides[join.link && row.right ? 1 : 0];
    const char* id = join.arena.copy(row.id, row.id_len);
    const char* value = join.arena.copy(row.value, row.value_len);
    join.failed = id == nullptr || value == nullptr || row.id_len > 0xffffffffu ||
                  row.value_len > 0xffffffffu || side.rows.size() >= 0xffffffffu ||
                  !side.rows.push({id, value, static_cast<std::uint32_t>(row.id_len),
                                   static_cast<std::uint32_t>(row.value_len),
                                   json_length(row.id, row.id_len, join.numeric_ids)});
}

const char* join_piece(Join& join, unsigned long* length) {
    Run run(join);
    const char* piece = run.piece(length);
    if (piece == nullptr) join.failed = true;
    return piece;
}

}  // namespace likeness
