// fuzz_xfile.cpp: libFuzzer entry for the X-file parser. Any input must give
// either a failure or a mesh whose every index and range is consistent;
// anything else (a crash, a sanitizer report, a broken mesh) is a finding.
//
// State: none; each input is parsed on its own.
#include "xfile_parser.h"

#include <stdlib.h>

namespace {

void Check(bool condition) {
    if (!condition) abort();
}

// The invariants the D3DX wrapper relies on when it uploads and draws a mesh.
void CheckMesh(const xfile::MeshData& mesh) {
    size_t nv = mesh.vertices.size(), nf = mesh.attributes.size();
    Check(nv > 0 && nv <= xfile::kMaxVertices);
    Check(nf > 0 && nf <= xfile::kMaxTriangles);
    Check(mesh.indices.size() == nf * 3);
    Check(mesh.pointReps.size() == nv);
    Check(!mesh.materials.empty() && mesh.materials.size() <= xfile::kMaxMaterials);
    for (uint32_t index : mesh.indices) Check(index < nv);
    for (uint32_t rep : mesh.pointReps) Check(rep < nv);
    for (size_t f = 0; f < nf; ++f) {
        Check(mesh.attributes[f] < mesh.materials.size());
        if (f > 0) Check(mesh.attributes[f - 1] <= mesh.attributes[f]);
    }
    size_t covered = 0;
    for (const xfile::AttributeRange& r : mesh.ranges) {
        Check(r.faceCount > 0 && r.faceStart == covered);
        covered += r.faceCount;
        Check(covered <= nf);
        for (size_t i = (size_t)r.faceStart * 3; i < (size_t)(r.faceStart + r.faceCount) * 3; ++i) {
            Check(mesh.indices[i] >= r.vertexStart && mesh.indices[i] - r.vertexStart < r.vertexCount);
        }
        Check(mesh.attributes[r.faceStart] == r.attribId);
    }
    Check(covered == nf);
    std::vector<uint32_t> adjacency;
    xfile::ComputeAdjacency(mesh, &adjacency);
    Check(adjacency.size() == nf * 3);
    for (size_t i = 0; i < adjacency.size(); ++i) {
        uint32_t other = adjacency[i];
        if (other == 0xFFFFFFFFu) continue;
        Check(other < nf && other != i / 3);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    xfile::MeshData mesh;
    std::string error;
    xfile::Status status = xfile::ParseXFile(data, size, &mesh, &error);
    if (status == xfile::Status::Ok) {
        CheckMesh(mesh);
    } else {
        Check(mesh.vertices.empty() && mesh.indices.empty() && !error.empty());
    }
    return 0;
}
