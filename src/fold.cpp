// The fold of a value for matching. ASCII is folded here, byte by byte, and
// passed through untouched when nothing changes; anything else through
// ICU's tables, as UTF-16 in which each byte that begins no well-formed
// UTF-8 sequence stands as the lone surrogate U+DC00 + byte: no UTF-8 text
// yields a lone surrogate, and ICU's normalizers, case folding and
// transliterators carry one through as a character of its own, so the
// byte comes back where it was.
#include <unicode/normalizer2.h>
#include <unicode/translit.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/uscript.h>

#include <new>

#include "algorithms.h"
#include "interruption.h"
#include "kernels.h"

namespace likeness {

struct Folding {
    const icu::Normalizer2* nfkd = nullptr;
    const icu::Normalizer2* nfc = nullptr;
    // Made when a value first needs it.
    icu::Transliterator* latin_ascii = nullptr;
    icu::UnicodeString a, b, held;
    char* out = nullptr;
    unsigned long capacity = 0;

    ~Folding() {
        delete latin_ascii;
        delete[] out;
    }
    // Room for n bytes of result; false when it cannot be had.
    bool reserve(unsigned long n) {
        if (n <= capacity) return true;
        char* grown = new (std::nothrow) char[n];
        if (grown == nullptr) return false;
        delete[] out;
        out = grown;
        capacity = n;
        return true;
    }
};

namespace {

constexpr UChar kLoneByteSurrogate = 0xdc00;

bool ascii_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Whether folding ASCII text changes it: a capital, a white space other
// than one space between two others, or white space at either end.
bool ascii_changes(const unsigned char* s, unsigned long len) {
    for (unsigned long i = 0; i < len; ++i) {
        const unsigned char c = s[i];
        if (c >= 'A' && c <= 'Z') return true;
        if (ascii_space(c) && (c != ' ' || i == 0 || i + 1 == len || s[i + 1] == ' ')) return true;
    }
    return false;
}

// ASCII folded into out (room for len bytes): capitals lowered, each run of
// white space one space, none at either end. Returns the length.
unsigned long fold_ascii(const unsigned char* s, unsigned long len, char* out) {
    unsigned long n = 0;
    bool space = false;
    for (unsigned long i = 0; i < len; ++i) {
        const unsigned char c = s[i];
        if (ascii_space(c)) {
            space = n > 0;
            continue;
        }
        if (space) out[n++] = ' ';
        space = false;
        out[n++] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    return n;
}

// UTF-8 read as the _utf8 measures read it, into UTF-16, a lone byte as its
// surrogate. False when the statement was killed.
bool decode(const char* s, unsigned long len, icu::UnicodeString& to, KillCheck& kill) {
    constexpr unsigned long kStride = 4096;
    Unit units[kStride];
    to.remove();
    for (unsigned long at = 0; at < len;) {
        const unsigned long n = leading_units(s + at, len - at, units, kStride);
        for (unsigned long i = 0; i < n; ++i) {
            const Unit u = units[i];
            if (u >= kLoneByte) {
                to.append(static_cast<UChar>(kLoneByteSurrogate + (u - kLoneByte)));
                at += 1;
            } else {
                to.append(static_cast<UChar32>(u));
                at += u < 0x80 ? 1 : u < 0x800 ? 2 : u < 0x10000 ? 3 : 4;
            }
        }
        if (kill.killed_after(4 * n)) return false;
    }
    return true;
}

// Latin letters without a decomposition, transliterated; letters only, so
// punctuation of the Latin script stays. Making one takes ICU a third of a
// millisecond, and a trigger runs the statements of fold_utf8 anew for
// each row: each statement clones this one, made once and never changed,
// in well under a microsecond. Null when ICU cannot make it.
const icu::Transliterator* latin_ascii_prototype() {
    static const icu::Transliterator* const prototype = [] {
        UErrorCode error = U_ZERO_ERROR;
        icu::Transliterator* made =
            icu::Transliterator::createInstance("[[:Latin:]&[:L:]] Latin-ASCII", UTRANS_FORWARD, error);
        if (U_FAILURE(error)) {
            delete made;
            return static_cast<icu::Transliterator*>(nullptr);
        }
        return made;
    }();
    return prototype;
}

bool latin_letter(UChar32 c) {
    UErrorCode error = U_ZERO_ERROR;
    return (U_GET_GC_MASK(c) & U_GC_L_MASK) != 0 && uscript_getScript(c, &error) == USCRIPT_LATIN;
}

bool ascii_letter(UChar32 c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool latin_or_greek_base(UChar32 c) {
    if (c < 0x80) return ascii_letter(c);
    UErrorCode error = U_ZERO_ERROR;
    const UScriptCode script = uscript_getScript(c, &error);
    return script == USCRIPT_LATIN || script == USCRIPT_GREEK;
}

bool dropped(UChar32 c) {
    return c >= 0x80 &&
           (u_charType(c) == U_FORMAT_CHAR || u_hasBinaryProperty(c, UCHAR_DEFAULT_IGNORABLE_CODE_POINT));
}

bool lone_byte(UChar32 c) { return c >= kLoneByteSurrogate + 0x80 && c <= kLoneByteSurrogate + 0xff; }

// Of decomposed, case-folded text: the combining marks that follow a Latin
// or Greek letter removed, default-ignorable and format characters dropped,
// each run of white space one space, none at either end. What would be
// dropped between two lone bytes stays: without it they might read as one
// character, and the fold of the fold would differ.
void clean(const icu::UnicodeString& from, icu::UnicodeString& to, icu::UnicodeString& held) {
    to.remove();
    held.remove();
    bool strip_marks = false, space = false, after_lone_byte = false;
    for (int32_t i = 0; i < from.length();) {
        const UChar32 c = from.char32At(i);
        i += U16_LENGTH(c);
        if (dropped(c)) {
            held.append(c);
            continue;
        }
        const bool mark = c >= 0x80 && (U_GET_GC_MASK(c) & U_GC_M_MASK) != 0;
        if (mark && strip_marks) continue;
        if (c < 0x80 ? ascii_space(static_cast<unsigned char>(c)) : u_isUWhiteSpace(c)) {
            space = to.length() > 0;
            strip_marks = false;
            held.remove();
            continue;
        }
        // A mark after white space stays on the space, as it was.
        if (space) to.append(static_cast<UChar>(' '));
        if (!space && after_lone_byte && lone_byte(c)) to.append(held);
        space = false;
        held.remove();
        if (!mark) strip_marks = latin_or_greek_base(c);
        after_lone_byte = lone_byte(c);
        to.append(c);
    }
}

bool has_latin_beyond_ascii(const icu::UnicodeString& s) {
    for (int32_t i = 0; i < s.length();) {
        const UChar32 c = s.char32At(i);
        i += U16_LENGTH(c);
        if (c >= 0x80 && latin_letter(c)) return true;
    }
    return false;
}

// UTF-16 back into the folding's buffer as UTF-8, a lone byte's surrogate
// as its byte. The length, or -1 when memory cannot be had.
long encode(const icu::UnicodeString& from, Folding& f) {
    if (!f.reserve(3 * static_cast<unsigned long>(from.length()) + 1)) return -1;
    unsigned long n = 0;
    for (int32_t i = 0; i < from.length();) {
        const UChar32 c = from.char32At(i);
        i += U16_LENGTH(c);
        auto put = [&](unsigned v) { f.out[n++] = static_cast<char>(v); };
        if (lone_byte(c)) {
            put(static_cast<unsigned>(c - kLoneByteSurrogate));
        } else if (c < 0x80) {
            put(static_cast<unsigned>(c));
        } else if (c < 0x800) {
            put(0xc0 | c >> 6);
            put(0x80 | (c & 0x3f));
        } else if (c < 0x10000) {
            put(0xe0 | c >> 12);
            put(0x80 | (c >> 6 & 0x3f));
            put(0x80 | (c & 0x3f));
        } else {
            put(0xf0 | c >> 18);
            put(0x80 | (c >> 12 & 0x3f));
            put(0x80 | (c >> 6 & 0x3f));
            put(0x80 | (c & 0x3f));
        }
    }
    return static_cast<long>(n);
}

}  // namespace

Folding* folding_create() {
    Folding* f = new (std::nothrow) Folding;
    if (f == nullptr) return nullptr;
    UErrorCode error = U_ZERO_ERROR;
    f->nfkd = icu::Normalizer2::getNFKDInstance(error);
    f->nfc = icu::Normalizer2::getNFCInstance(error);
    if (U_FAILURE(error)) {
        delete f;
        return nullptr;
    }
    return f;
}

void folding_destroy(Folding* f) { delete f; }

const char* fold_utf8(Folding& f, const char* s, unsigned long len, unsigned long* out_len) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(s);
    unsigned long ascii = 0;
    while (ascii < len && bytes[ascii] < 0x80) ++ascii;
    if (ascii == len) {
        if (!ascii_changes(bytes, len)) {
            *out_len = len;
            return s;
        }
        if (!f.reserve(len + 1)) return nullptr;
        *out_len = fold_ascii(bytes, len, f.out);
        return f.out;
    }
    // Decomposed, case-folded and decomposed again (a folded character may
    // have a decomposition), Latin letters transliterated, cleaned, and
    // composed.
    KillCheck kill;
    UErrorCode error = U_ZERO_ERROR;
    if (len > 0x7fffffffu / 2 || !decode(s, len, f.a, kill)) return nullptr;
    f.nfkd->normalize(f.a, f.b, error);
    f.b.foldCase(U_FOLD_CASE_DEFAULT);
    f.nfkd->normalize(f.b, f.a, error);
    if (U_FAILURE(error) || f.a.isBogus() || kill.killed_after(16 * len)) return nullptr;
    if (has_latin_beyond_ascii(f.a)) {
        if (f.latin_ascii == nullptr) {
            const icu::Transliterator* prototype = latin_ascii_prototype();
            if (prototype == nullptr || (f.latin_ascii = prototype->clone()) == nullptr) return nullptr;
        }
        f.latin_ascii->transliterate(f.a);
    }
    clean(f.a, f.b, f.held);
    f.nfc->normalize(f.b, f.a, error);
    if (U_FAILURE(error) || f.a.isBogus() || f.b.isBogus() || kill.killed_after(16 * len)) {
        return nullptr;
    }
    const long n = encode(f.a, f);
    if (n < 0) return nullptr;
    *out_len = static_cast<unsigned long>(n);
    return f.out;
}

}  // namespace likeness
