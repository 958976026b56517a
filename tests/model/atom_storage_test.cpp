// Atom arrays carved from shared blocks must never overlap, whatever the order they come and go in.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "model/atom.h"

namespace zelvor {
namespace {

TEST(AtomStorageTest, ArraysOfEverySizeKeepTheirContentsUntilFreedInAnyOrder) {
    std::mt19937 random(11);
    // Small (heap), block-carved and block-of-their-own sizes, as frames of tiny molecules to huge ones have.
    const int sizes[] = {3, 1500, 3000, 20000, 90000, 300000};
    struct Array {
        std::unique_ptr<Atom[]> atoms;
        int n, tag;
    };
    std::vector<Array> arrays;
    int tag = 0;
    for (int round = 0; round < 6; ++round) {
        for (int k = 0; k < 12; ++k) {
            const int n = sizes[random() % 6];
            auto atoms = std::make_unique<Atom[]>(static_cast<std::size_t>(n) + 1);
            for (int i = 0; i <= n; ++i) atoms[i].auxiliary1 = tag, atoms[i].auxiliary2 = i;
            arrays.push_back({std::move(atoms), n, tag++});
        }
        std::shuffle(arrays.begin(), arrays.end(), random);
        arrays.resize(arrays.size() / 2);  // frees half of them, blocks included once empty
        for (const Array& a : arrays) {
            ASSERT_EQ(a.atoms[0].auxiliary1, a.tag);
            ASSERT_EQ(a.atoms[a.n].auxiliary1, a.tag);
            ASSERT_EQ(a.atoms[a.n].auxiliary2, a.n);
            ASSERT_EQ(a.atoms[a.n].position.x, 0.0) << "a new atom starts at the origin";
        }
    }
}

}  // namespace
}  // namespace zelvor
