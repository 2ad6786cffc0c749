// State of the capture calls that tests wait on instead of sleeping.
#pragma once

// True when a source is open and its stream has ended or failed, and the last frame has been
// taken: arVideoGetImage will return null from now on. Its one message is already printed.
bool arVideoStreamEnded();
