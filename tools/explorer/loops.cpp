// Dominators by the iterative algorithm of Cooper, Harvey and Kennedy over the instructions
// in reverse post-order; a natural loop is its head plus everything that reaches the back
// edge's source without passing through the head.
#include "loops.h"

#include <algorithm>
#include <map>
#include <set>

namespace explorer
{

namespace
{

bool fallsThrough(const Instruction &insn)
{
    switch (insn.flow) {
    case Flow::jump:
    case Flow::tailCall:
    case Flow::indirectJump:
    case Flow::ret:
        return insn.conditional;
    default:
        return true;
    }
}

} // namespace

std::vector<std::vector<std::size_t>> successors(const std::vector<Instruction> &code)
{
    std::map<std::uint64_t, std::size_t> index;
    for (std::size_t i = 0; i < code.size(); ++i) {
        index[code[i].offset] = i;
    }
    std::vector<std::vector<std::size_t>> next(code.size());
    for (std::size_t i = 0; i < code.size(); ++i) {
        const Instruction &insn = code[i];
        if (fallsThrough(insn) && i + 1 < code.size()) {
            next[i].push_back(i + 1);
        }
        const bool direct = insn.flow == Flow::jump || insn.flow == Flow::conditionalJump;
        for (std::uint64_t offset : direct ? std::vector{insn.jumpTarget} : insn.tableTargets) {
            auto target = index.find(offset);
            if (target != index.end()) {
                next[i].push_back(target->second);
            }
        }
    }
    return next;
}

std::vector<Loop> naturalLoops(const std::vector<Instruction> &code)
{
    if (code.empty()) {
        return {};
    }
    const std::vector<std::vector<std::size_t>> next = successors(code);
    std::vector<std::vector<std::size_t>> previous(code.size());
    for (std::size_t i = 0; i < code.size(); ++i) {
        for (std::size_t j : next[i]) {
            previous[j].push_back(i);
        }
    }
    // Reverse post-order of what the entry reaches, without recursion.
    const std::size_t none = code.size();
    std::vector<std::size_t> order, position(code.size(), none);
    std::vector<bool> seen(code.size(), false);
    std::vector<std::pair<std::size_t, std::size_t>> stack = {{0, 0}};
    seen[0] = true;
    while (!stack.empty()) {
        auto &[node, child] = stack.back();
        if (child < next[node].size()) {
            const std::size_t to = next[node][child++];
            if (!seen[to]) {
                seen[to] = true;
                stack.emplace_back(to, 0);
            }
        } else {
            order.push_back(node);
            stack.pop_back();
        }
    }
    std::reverse(order.begin(), order.end());
    for (std::size_t i = 0; i < order.size(); ++i) {
        position[order[i]] = i;
    }
    std::vector<std::size_t> idom(code.size(), none);
    idom[0] = 0;
    auto intersect = [&](std::size_t a, std::size_t b) {
        while (a != b) {
            while (position[a] > position[b]) {
                a = idom[a];
            }
            while (position[b] > position[a]) {
                b = idom[b];
            }
        }
        return a;
    };
    for (bool changed = true; changed;) {
        changed = false;
        for (std::size_t k = 1; k < order.size(); ++k) {
            const std::size_t node = order[k];
            std::size_t dom = none;
            for (std::size_t p : previous[node]) {
                if (idom[p] != none) {
                    dom = dom == none ? p : intersect(p, dom);
                }
            }
            if (dom != idom[node]) {
                idom[node] = dom;
                changed = true;
            }
        }
    }
    auto dominates = [&](std::size_t head, std::size_t node) {
        for (;;) {
            if (node == head) {
                return true;
            }
            if (node == 0 || idom[node] == none) {
                return false;
            }
            node = idom[node];
        }
    };
    std::map<std::size_t, std::set<std::size_t>> bodies;
    for (std::size_t from : order) {
        for (std::size_t head : next[from]) {
            if (!dominates(head, from)) {
                continue;
            }
            std::set<std::size_t> &body = bodies[head];
            body.insert(head);
            std::vector<std::size_t> work;
            if (body.insert(from).second) {
                work.push_back(from);
            }
            while (!work.empty()) {
                const std::size_t node = work.back();
                work.pop_back();
                for (std::size_t p : previous[node]) {
                    if (position[p] != none && body.insert(p).second) {
                        work.push_back(p);
                    }
                }
            }
        }
    }
    std::vector<Loop> loops;
    for (const auto &[head, body] : bodies) {
        Loop loop;
        loop.head = code[head].offset;
        for (std::size_t i : body) {
            loop.body.push_back(code[i].offset);
            if (code[i].line != 0) {
                loop.lines.insert(code[i].line);
            }
        }
        loops.push_back(std::move(loop));
    }
    return loops;
}

} // namespace explorer
