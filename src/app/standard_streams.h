#pragma once

// Opens whichever of standard input, output and error the viewer was started without
// on /dev/null. Called first: a launcher that closed standard error would otherwise let
// the X connection take descriptor 2, and library messages would land in that connection.
void openClosedStandardStreams();
