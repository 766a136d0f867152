// Long calls that stop when their statement is killed (KILL QUERY, a server
// shutdown): the kernels ask now and then, and on a kill return their
// failure value at once, which makes the row NULL.
#pragma once

namespace likeness {

// True once the statement running this call has been killed. MariaDB exports
// _current_thd() and thd_kill_level() to the modules it loads; they are
// looked up at the first question and kept. Where they are absent (another
// server, a test program) no statement is ever killed.
bool statement_killed();

// Counts the work of one call in word steps and asks statement_killed() once
// per kWorkBetweenChecks of them, about a millisecond of work: short calls
// never ask.
class KillCheck {
  public:
    static constexpr unsigned long kWorkBetweenChecks = 1ul << 20;

    bool killed_after(unsigned long work) {
        if (work < until_check_) {
            until_check_ -= work;
            return false;
        }
        until_check_ = kWorkBetweenChecks;
        return statement_killed();
    }

  private:
    unsigned long until_check_ = kWorkBetweenChecks;
};

}  // namespace likeness
