#pragma once
// Modem slots: one data or fax call of the controller on a modem of the
// board. ModemSlot is what the two kinds share: the child process that
// carries the call (the PPP daemon or a fax program) with its watch, the
// report of its end, the destruction that waits for it (SIGHUP, then SIGKILL
// after 5000 ms), and the authentication and accounting of the PPP helper
// link, which the controller sees as modemProceeding signals and answers
// with an activation that goes back to the helper.
//
// A modem slot deleted without having released itself (when the controller
// goes while its child runs) still leaves the factory's lists and kills the
// child, so that nothing routes to it afterwards.

#include <sys/types.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "messages/term/term.h"
#include "runtime/loop/child_wait.h"
#include "runtime/loop/timer.h"
#include "slots/slot.h"

class ModemFactory;

class ModemSlot : public Slot {
public:
    static constexpr unsigned terminate_timeout_ms = 5000;
    // Entries of a child's argument vector, the closing null included.
    static constexpr size_t max_argv = 64;

    explicit ModemSlot(TERM::ModemParams const& params);
    ~ModemSlot() override;

    // With a child running: SIGHUP, and the slot finishes when the child
    // has ended or been killed.
    bool IBeforeDestroy() override;
    // `modem` sends the authentication accept and the IP settings to the
    // helper of the slot's session; anything else is refused.
    bool IActivate(TERM::TermActivateParams const& params) override;
    char const* GetName() const override { return "generic-modem"; }
    // The first consumer or source sets the modem up; the connection goes
    // on also when the set-up failed.
    bool IOnOutputStream() override;
    bool IOnInputStream() override;

    // The modem number, the session of the helper link; -1 when none.
    virtual int modem_id() const = 0;

    ModemFactory* GetSlotFactory() const;
    // "<slot>: "
    void PutHeader(std::ostream& os) const;

    // A complete frame of the helper link for this slot's session.
    void OnAuth(uint8_t const* frame);
    bool EqAuthId(int id) const { return modem_id() == id; }
    bool pppd_executing() const { return pid_ != -1; }

protected:
    // Gives the slot's device back to the factory; runs once.
    virtual void unbind() = 0;
    virtual void InitModem() = 0;
    void unbind_once();
    // For the destructors of the slot kinds: kills a child still running
    // and leaves the factory's lists when the slot has not yet done so.
    void leave();

    // Starts the PPP daemon (execfile and execargs when given) on the
    // device; nothing while a child runs.
    void pppd_exec(char const* device, char const* options);
    void pppd_kill();
    void on_terminate(int status);
    void on_terminate_timeout(Timer*);

    // Makes a child with fork that runs argv[0] with the arguments. The child
    // writes `announce` (when not null) first, after `delay_s` seconds; when
    // it cannot run the program it writes `failure` (when not null) and
    // leaves with status 2. Its lines go straight to descriptor 1, so no
    // output buffered by the server is written twice. The pid, or -1.
    static pid_t Spawn(std::vector<std::string> const& argv, char const* announce,
                       char const* failure, unsigned delay_s);
    // Sends a signal to the child unless it has been reaped already.
    void signal_child(int sig) const;

    TERM::ModemParams params_;
    pid_t pid_ = -1;
    ChildWait watch_;
    Timer timer_;

private:
    void OnAuthRequest(uint8_t const* frame);
    void OnAcctInformation(uint8_t const* frame);

    bool bound_ = true;
};
