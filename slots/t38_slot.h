#pragma once
// T.38 slots: a fax call on a TDM channel bridged to a T.38 peer by the T.38
// gateway program, one child process per slot. The factory allocates a
// transparent MCC channel, starts the program with the channel as its
// standard input and the peer's and the local addresses as arguments, and
// the slot offers the channel's switch channel to the TDM switch. The
// program's end while the slot lives is reported as `abort` with its wait
// status; destroying the slot sends it SIGTERM and does not wait.
//
// The resource report counts the instances the program can run, as it
// prints them when asked; a program that does not answer within a second
// counts 0.

#include "runtime/loop/child_wait.h"
#include "slots/slot.h"
#include "slots/slot_factory.h"

class T38SoftSlot : public Slot {
public:
    // Watches the started program.
    T38SoftSlot(int pid, int timeslot);

    void IAfterCreate() override;
    bool IBeforeDestroy() override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return timeslot_; }
    int IGetReceiveChannel() override { return timeslot_; }
    char const* GetName() const override { return "t38 soft"; }

    // "05:t38 soft: "
    void PutHeader(std::ostream& os) const;

private:
    void OnT38Terminate(int status);

    int pid_;
    int timeslot_;
    ChildWait watch_;
};

class T38SoftFactory : public SlotFactory {
public:
    static constexpr char const* program = "/usr/local/sbin/t38";
    // The room of the program's argument vector, the closing null included.
    static constexpr unsigned max_args = 32;
    // The room of the remote argument "address/port/port", its end included.
    static constexpr unsigned remote_size = 80;
    // How long the instance count may take.
    static constexpr int count_wait_ms = 1000;

    static T38SoftFactory& instance();
    ~T38SoftFactory() override = default;

    char const* GetName() const override { return "T.38 soft"; }
    // A slot with its program running, or null with a line.
    Slot* INewSlot(LGCP::CreateParams const& params) override;
    // t38-instances.
    void Query(LGCP::Resources& resources) override;

    // Runs "t38 --num-of-instances" and takes the number its first line
    // begins with; 0 when it cannot be run, prints nothing or takes too long.
    int QueryNumOfInstances();

    // "t38soft: "
    void PutHeader(std::ostream& os) const;

private:
    T38SoftFactory() = default;
};
