// Finding a texture file whose name differs in letter case from the name a model gives: model
// files from other systems carry names such as "WOOD.BMP" for a file on disk named "wood.bmp".
#pragma once

#include <string>

// The path of a regular file in path's folder whose name equals path's file name ignoring ASCII
// letter case (the first in name order when several do), or "" when there is none.
std::string FindFileIgnoringCase(const std::string& path);

// The line on standard error that says found is read in place of wanted.
void SayFoundIgnoringCase(const std::string& wanted, const std::string& found);
