#pragma once
// The device layer: the one way the server reaches the board's drivers.
// Services open a device path, issue requests with the driver's own 32-bit
// request number, read and write, and ask network interfaces by name; nothing
// else in the server touches /dev or ioctl. A board build passes each call to
// the kernel; a host build serves it from the simulated board. Either way a
// descriptor is a real one (pollable, O_NONBLOCK honoured, kept across dup,
// fork and exec), and a failure is -1 with errno.
//
// Request records are byte arrays in the board's order (record.h).

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace Device {

// Opens a device path of the board ("/dev/hal"); the descriptor, or -1.
int open(char const* path, int flags);

// A request whose argument points to a record of the size the request
// number gives; the driver may fill the record. The driver's result (0 or
// more), or -1.
int ioctl(int fd, uint32_t request, void* record);
// A request whose argument is a value.
int ioctlValue(int fd, uint32_t request, unsigned long value);

// One record or chunk: whole or not at all (EAGAIN when none is waiting on
// a non-blocking descriptor, EMSGSIZE when the buffer cannot hold it).
ssize_t read(int fd, void* buffer, size_t size);
ssize_t write(int fd, void const* data, size_t size);

// A request on the network interface of that name, made as on an IPv4
// datagram socket with an interface request record: `data` is what follows
// the 16-byte name in that record, in the board's order.
//   SIOCGIFINDEX: 4 bytes, the index (filled)
//   SIOCGIFFLAGS, SIOCSIFFLAGS: 2 bytes, the flags
//   SIOCWANDEV: 4 bytes type, 4 bytes size, then `size` bytes of settings
int netif(char const* name, uint32_t request, void* data, size_t size);

}  // namespace Device
