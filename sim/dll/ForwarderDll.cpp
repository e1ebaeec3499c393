// The public stand-in DLLs carry no code of their own: every export forwards to sarnok_sim.dll,
// which holds the one simulator state of the process.
extern "C" const char sarnok_sim_forwarder_dll[] = "forwards to sarnok_sim.dll";
