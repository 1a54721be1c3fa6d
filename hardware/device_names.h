#pragma once
// The paths of the board's driver devices, and a diagnostic toolkit for the
// RTP driver: codec names, its error codes as text, printers of its records
// and a backtrace printer, kept so that a driver call can be traced when
// needed.

#include <cstdint>
#include <ostream>

char const* GetVoiceDevName();
char const* GetMixerDevName();
char const* GetDTMFDevName();
char const* GetDSPDevName();
char const* GetRtpDevName();
char const* GetRtpExtDevName();
char const* GetModemDevName();
char const* GetMaintenance();
char const* GetSpiTdmDevName();

// "g711" for 1; "invalid" for a number outside 0 to 8.
char const* GetCodecAsStr(int codec);

// An error of an RTP driver call: the system's errno when it was built, and
// the call's code.
class RtpErr {
public:
    explicit RtpErr(int code);
    // The system's text of the errno.
    void Put(std::ostream& os) const;
    int error() const { return errno_; }
    int code() const { return code_; }

private:
    int errno_;
    int code_;
};

// The text of an RTP library error code; "Unknown RTP Error <code>" for a
// code without one, in a buffer that the next such call overwrites.
char const* RTPStrError(int code);

// The RTP driver's records, as far as the printers show them.
struct rtp_connection_params {
    uint16_t packet_factor;
    uint16_t rx_pt;
    uint16_t tx_pt;
    uint32_t ssrc;
};
struct rtp_attach_session_params {
    int fd_rtp;
    int pid_rtp;
};
struct rtp_ext_attach_session_params {
    int fd_rtp;
    int pid_rtp;
};
struct rtp_ext_init_params {
    uint16_t etype;
};
struct rtp_channel_info {
    int tdm;
    int dev_no;
    int chn;
};

std::ostream& operator<<(std::ostream& os, rtp_connection_params const& p);
std::ostream& operator<<(std::ostream& os, rtp_attach_session_params const& p);
std::ostream& operator<<(std::ostream& os, rtp_ext_attach_session_params const& p);
std::ostream& operator<<(std::ostream& os, rtp_ext_init_params const& p);
std::ostream& operator<<(std::ostream& os, rtp_channel_info const& p);

// Prints a backtrace of at most 10 frames of the calling thread on the
// standard output.
void print_trace();
