// The uninstall: the copy in the install folder hands over to a copy of itself in
// the temporary folder, which asks and removes what setup placed.
#pragma once
#include <string>

// Moves itself to the temporary folder first, then asks and removes.
void RunUninstall(int argumentCount);
// Removes a folder with everything below it; whether the folder itself went.
bool RemoveFolderTree(const std::string& folder);
