// Long calls that stop when their statement is killed (KILL QUERY, a server
// shutdown, max_statement_time): every phase of a call that can take more
// than a moment asks now and then, and on a kill the call returns its
// failure value at once; the entry layer then raises the server's error.
#pragma once

namespace likeness {

// True once the statement running this call has been killed. MariaDB exports
// _current_thd() and thd_kill_level() to the modules it loads; they are
// looked up at the first question and kept. Where they are absent (another
// server, a test program) no statement is ever killed.
bool statement_killed();

// Counts the work of one call, in word steps or bytes, and asks
// statement_killed() once per kWorkBetweenChecks of them, at most about a
// millisecond of work: short calls never ask. A kill, once heard, is kept,
// so every later phase of the call stops at its first question.
class KillCheck {
  public:
    static constexpr unsigned long kWorkBetweenChecks = 1ul << 20;

    bool killed_after(unsigned long work) {
        if (killed_) return true;
        if (work < until_check_) {
            until_check_ -= work;
            return false;
        }
        until_check_ = kWorkBetweenChecks;
        killed_ = statement_killed();
        return killed_;
    }
    bool killed() const { return killed_; }

    // A check that never asks, for work that must run to its end.
    static KillCheck never() {
        KillCheck check;
        check.until_check_ = ~0ul;
        return check;
    }

  private:
    unsigned long until_check_ = kWorkBetweenChecks;
    bool killed_ = false;
};

// Runs step(begin, end) over [0, n) in strides of kWorkBetweenChecks / 4
// elements with a kill check after each: linear phases of long values. Stops
// early, false, when the statement was killed or step returns false.
template <typename Step>
bool in_strides(KillCheck& kill, unsigned long n, Step step) {
    constexpr unsigned long kStride = KillCheck::kWorkBetweenChecks / 4;
    for (unsigned long begin = 0; begin < n; begin += kStride) {
        const unsigned long end = n - begin > kStride ? begin + kStride : n;
        if (!step(begin, end) || kill.killed_after(end - begin)) return false;
    }
    return true;
}

}  // namespace likeness
