#pragma once
// Looking up a running process by its command name, as /proc/<pid>/stat
// shows it. Monitoring uses it to find the controller process, passing the
// pid it found last time as a hint so that the usual case reads one file.

// The process id of a process whose command name equals name exactly, or -1.
// hint (when above 0) is tested first; otherwise /proc is scanned in
// directory order and the first match wins.
int find_proc_by_name(char const* name, int hint);
