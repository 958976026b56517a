#include "render/ccube.h"

#include <algorithm>

namespace zelvor {

CCube::~CCube() {
    DeleteAtomList();
    atomSet.clear();
}

void CCube::AddAtomA(Atom* atom) { atomSet.insert(atom); }

void CCube::CreateAtomsList() {
    count = static_cast<int>(atomSet.size());
    if (atomSet.empty()) return;
    atomList = std::make_unique<Atom*[]>(atomSet.size());
    std::copy(atomSet.begin(), atomSet.end(), atomList.get());
    atomSet.clear();
}

void CCube::DeleteAtomList() { atomList.reset(); }

CCubeGrid::CCubeGrid(int nx, int ny, int nz)
    : nx_(std::max(nx, 0)),
      ny_(std::max(ny, 0)),
      nz_(std::max(nz, 0)),
      cells_(static_cast<std::size_t>(nx_) * ny_ * nz_) {}

}  // namespace zelvor
