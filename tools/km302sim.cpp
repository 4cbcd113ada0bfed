// km302-sim: plays the KM-302 barometer on a pseudo-terminal (see --help).

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/simulator.h"
#include "tools/simulatoroptions.h"

int main(int argc, char** argv)
{
    CSimulatorOptions options;
    std::string error;
    if (!options.Parse(std::vector<std::string>(argv + 1, argv + argc), error)) {
        std::fprintf(stderr, "km302-sim: %s\nTry 'km302-sim --help'.\n", error.c_str());
        return 2;
    }
    if (options.m_bHelp) {
        std::fputs(CSimulatorOptions::HelpText().c_str(), stdout);
        return 0;
    }
    // A reader of our standard output that went away must not kill the line.
    std::signal(SIGPIPE, SIG_IGN);
    CSimulator simulator(options, stdout, stderr);
    return simulator.Run();
}
