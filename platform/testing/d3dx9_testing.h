// Test hooks of the D3DX 9 layer.
#pragma once

#include <string>
#include <vector>

// Why loads failed: D3DXLoadMeshFromXA prints nothing (the game has no
// console output) and keeps one line per failed load here instead, naming
// the file and the reason, oldest first; only the latest 64 are kept.
const std::vector<std::string>& WinapiTest_MeshLoadMessages();
void WinapiTest_ClearMeshLoadMessages();
