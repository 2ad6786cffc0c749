// arviewer: shows the camera video with a 3D model standing on every marker of Data/markerdata.mkd.
// Run it from the folder that holds Data/.
#include "app/viewer_shell.h"

int main(int argc, char** argv) { return runViewer(argc, argv); }
