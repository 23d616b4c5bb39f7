#include "signatures.h"

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace {

constexpr double kColourTolerance = 22.0;  // per channel, 0..255
constexpr double kDetailFraction = 0.35;

double Distance(const BoxStats& a, const BoxStats& b) {
    const double dr = a.r - b.r;
    const double dg = a.g - b.g;
    const double db = a.b - b.b;
    return dr * dr + dg * dg + db * db;
}

bool Within(const BoxStats& seen, const BoxStats& expected) {
    return std::fabs(seen.r - expected.r) <= kColourTolerance &&
           std::fabs(seen.g - expected.g) <= kColourTolerance &&
           std::fabs(seen.b - expected.b) <= kColourTolerance;
}

}  // namespace

std::vector<Box> DefaultBoxes() {
    // A 3:2 photo fitted to 1920x1080 covers x 150..1770. Nine 40x40 boxes
    // on a grid well inside it.
    std::vector<Box> boxes;
    for (int y : {200, 540, 880})
        for (int x : {420, 960, 1500}) boxes.push_back({x - 20, y - 20, 40, 40});
    return boxes;
}

bool LoadSignatures(const std::string& path, Signatures& out, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    out = {};
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string kind;
        words >> kind;
        if (kind == "box") {
            Box box;
            words >> box.x >> box.y >> box.w >> box.h;
            out.boxes.push_back(box);
        } else if (kind == "image") {
            int index = 0;
            words >> index;
            if (index != static_cast<int>(out.images.size())) {
                error = "image lines out of order in " + path;
                return false;
            }
            std::vector<BoxStats> stats(out.boxes.size());
            for (BoxStats& s : stats) words >> s.r >> s.g >> s.b >> s.detail;
            if (!words) {
                error = "short image line in " + path;
                return false;
            }
            out.images.push_back(stats);
        }
    }
    if (out.boxes.empty() || out.images.empty()) {
        error = "no boxes or images in " + path;
        return false;
    }
    return true;
}

std::string FormatImageLine(int index, const std::vector<BoxStats>& stats) {
    std::ostringstream line;
    line.setf(std::ios::fixed);
    line.precision(2);
    line << "image " << index;
    for (const BoxStats& s : stats) line << ' ' << s.r << ' ' << s.g << ' ' << s.b << ' ' << s.detail;
    return line.str();
}

int Classify(const Signatures& signatures, const std::vector<BoxStats>& grab) {
    int best = -1;
    double best_distance = std::numeric_limits<double>::max();
    for (size_t i = 0; i < signatures.images.size(); ++i) {
        const auto& expected = signatures.images[i];
        double distance = 0;
        for (size_t k = 0; k < grab.size(); ++k) distance += Distance(grab[k], expected[k]);
        if (distance < best_distance) {
            best_distance = distance;
            best = static_cast<int>(i);
        }
    }
    if (best < 0) return -1;
    const auto& expected = signatures.images[best];
    double seen_detail = 0;
    double expected_detail = 0;
    for (size_t k = 0; k < grab.size(); ++k) {
        if (!Within(grab[k], expected[k])) return -1;
        seen_detail += grab[k].detail;
        expected_detail += expected[k].detail;
    }
    if (seen_detail < kDetailFraction * expected_detail) return -1;
    return best;
}
