// The setup wizard: licence terms, installing, related programs; then the
// installed program is started.
#pragma once

// Runs the whole setup; then starts the installed program when it was installed.
void RunSetup();
