// The regular-expression service over PCRE2's 8-bit library, for subjects known to be valid
// UTF-8. Patterns are compiled with the options regex.cpp gives the same flags, and with
// PCRE2_NEVER_BACKSLASH_C ("\C" is one code unit, a byte here and a UTF-16 unit there).
// Every subject is valid, so patterns are compiled without PCRE2_MATCH_INVALID_UTF and
// matched with PCRE2_NO_UTF_CHECK, by JIT where it is available.

#include "engine/utf8_regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <new>
#include <string>

#include "engine/regex_common.h"

namespace {

// The offset one whole UTF-8 character after at (the subject is valid).
std::size_t nextCharacter(std::string_view text, std::size_t at) {
    if (at >= text.size()) return at + 1;
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    return std::min(at + length, text.size());
}

bool hasLoneSurrogate(TextView text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) return true;
    }
    return false;
}

}  // namespace

Utf8Pattern::~Utf8Pattern() { pcre2_code_free(code_); }

std::shared_ptr<const Utf8Pattern> compileUtf8Pattern(TextView pattern, uint32_t flags) {
    if (hasLoneSurrogate(pattern)) return nullptr;
    uint32_t options = 0;
    uint32_t lineEnds = 0;
    regex_common::compileOptions(flags, options, lineEnds);
    options |= PCRE2_NEVER_BACKSLASH_C;
    const std::string bytes = textToUtf8(pattern);
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (context == nullptr) return nullptr;
    pcre2_set_newline(context, lineEnds);
    int errorCode = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR8>(bytes.data()), bytes.size(), options, &errorCode,
                                     &errorOffset, context);
    pcre2_compile_context_free(context);
    if (code == nullptr) return nullptr;
    // Without JIT the interpreter matches; with PCRE2_NO_UTF_CHECK it does not look over
    // the rest of the subject on every call.
    pcre2_jit_compile(code, PCRE2_JIT_COMPLETE);
    std::shared_ptr<Utf8Pattern> compiled(new (std::nothrow) Utf8Pattern());
    if (compiled == nullptr) {
        pcre2_code_free(code);
        return nullptr;
    }
    compiled->code_ = code;
    compiled->lastLineEnd_ = (flags & lastLineEnd) != 0;
    pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &compiled->groupCount_);
    uint32_t newline = 0;
    pcre2_pattern_info(code, PCRE2_INFO_NEWLINE, &newline);
    compiled->crLfIsNewline_ = regex_common::crLfIsNewline(newline);
    return compiled;
}

Utf8Matcher::~Utf8Matcher() {
    release();
    pcre2_jit_stack_free(jitStack_);
    pcre2_match_context_free(context_);
}

void Utf8Matcher::release() {
    pcre2_match_data_free(data_);
    data_ = nullptr;
    pattern_.reset();
}

bool Utf8Matcher::use(std::shared_ptr<const Utf8Pattern> pattern) {
    iterating_ = false;
    hasMatch_ = false;
    lastError_ = 0;
    if (pattern != nullptr && pattern == pattern_) return true;
    release();
    if (pattern == nullptr) return false;
    if (context_ == nullptr) {
        context_ = pcre2_match_context_create(nullptr);
        if (context_ == nullptr) return false;
        pcre2_set_match_limit(context_, regex_common::matchLimit);
        pcre2_set_depth_limit(context_, regex_common::depthLimit);
        pcre2_set_heap_limit(context_, regex_common::heapLimitKiB);
        jitStack_ = pcre2_jit_stack_create(regex_common::jitStackStart, regex_common::jitStackMax, nullptr);
        if (jitStack_ != nullptr) pcre2_jit_stack_assign(context_, nullptr, jitStack_);
    }
    data_ = pcre2_match_data_create_from_pattern(pattern->code_, nullptr);
    if (data_ == nullptr) return false;
    pattern_ = std::move(pattern);
    return true;
}

bool Utf8Matcher::begin(std::string_view subject) {
    if (pattern_ == nullptr) return false;
    subject_ = subject;
    iterating_ = true;
    next_ = 0;
    hasMatch_ = false;
    matchBegin_ = matchEnd_ = 0;
    lastError_ = 0;
    return true;
}

bool Utf8Matcher::next() {
    if (pattern_ == nullptr || !iterating_) return false;
    hasMatch_ = false;
    lastError_ = 0;
    if (next_ >= subject_.size()) return false;
    uint32_t options = PCRE2_NO_UTF_CHECK;
    if (pattern_->lastLineEnd_ && subject_.ends_with("\r\n")) options |= PCRE2_NOTEOL;
    const int rc = pcre2_match(pattern_->code_, reinterpret_cast<PCRE2_SPTR8>(subject_.data()), subject_.size(),
                               next_, options, data_, context_);
    if (rc < 0) {
        lastError_ = rc == PCRE2_ERROR_NOMATCH ? 0 : rc;
        return false;
    }
    // An end before the start (possible only with \K in a lookaround) counts as an empty
    // match at the start.
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data_);
    matchBegin_ = ovector[0];
    matchEnd_ = std::max(ovector[0], ovector[1]);
    hasMatch_ = true;
    next_ = regex_common::nextAttempt(subject_, next_, matchBegin_, matchEnd_, pattern_->crLfIsNewline_, nextCharacter);
    return true;
}

bool Utf8Matcher::group(int group, std::size_t& begin, std::size_t& end) const {
    begin = end = 0;
    if (pattern_ == nullptr || !hasMatch_ || group < 1 || static_cast<uint32_t>(group) > pattern_->groupCount_)
        return false;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(data_);
    const PCRE2_SIZE from = ovector[2 * group];
    const PCRE2_SIZE to = ovector[2 * group + 1];
    if (from == PCRE2_UNSET || to == PCRE2_UNSET || to < from) return false;
    begin = from;
    end = to;
    return true;
}
