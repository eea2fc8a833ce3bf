// `grooveloom --play SONG [...]`: plays a song through the playback engine and the built-in
// synthesizer without a window, until its end or Ctrl+C, showing the bar and beat on the terminal.
#pragma once

// argv[1] is "--play". Returns the exit status: 0 played, 1 the song or the sound could not be
// opened, 2 wrong arguments.
int PlayFromCommandLine(int argc, char** argv);
