// What the process needs before main on Windows that the C runtime does not do by itself.

// The arguments reach main as the command line splits them: MinGW's start-up code would
// otherwise be free to expand "*" and "?" as file names (a file named 5 and the argument "?"
// would wait five seconds). Defining the switch here keeps the library's own default out.
extern "C" {
int _dowildcard = 0;
}
