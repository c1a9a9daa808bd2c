// The oracle's reading of code: ARM and x86 instructions taken apart, where each one leads
// (calls, jumps, returns), the control-flow graph of a function and its natural loops.
#include "oracle.h"

#include <algorithm>
#include <regex>

namespace harness::oracle
{

// ------------------------------------------------------------------ decoding instructions

static const std::set<std::string> armConditions = {"eq", "ne", "cs", "hs", "cc", "lo",
                                                    "mi", "pl", "vs", "vc", "hi", "ls",
                                                    "ge", "lt", "gt", "le", "al"};

ArmOp armOp(const std::string &mnemonic)
{
    static const std::vector<std::string> bases = {
        "umull", "umlal", "smull", "smlal", "sdiv", "udiv", "push", "and", "eor", "sub",
        "rsb",   "add",   "adc",   "sbc",   "rsc",  "tst",  "teq",  "cmp", "cmn", "orr",
        "mov",   "bic",   "mvn",   "lsl",   "lsr",  "asr",  "ror",  "rrx", "mul", "mla",
        "mls",   "clz",   "pop",   "blx",   "nop",  "bl",   "bx",   "b"};
    const std::string name = mnemonic.substr(0, mnemonic.find('.'));
    for (const char *family : {"ldr", "str", "ldm", "stm"}) {
        if (name.starts_with(family)) {
            const std::string tail = name.size() >= 5 ? name.substr(name.size() - 2) : "";
            return {family, armConditions.contains(tail) ? tail : ""};
        }
    }
    for (const std::string &base : bases) {
        std::string rest = name.starts_with(base) ? name.substr(base.size()) : "-";
        const bool flags = base[0] != 'b' || base == "bic"; // s, before or after a condition
        if (flags && rest.starts_with("s")) {
            rest.erase(0, 1);
        } else if (flags && rest.size() == 3 && rest.ends_with("s")) {
            rest.pop_back();
        }
        if (rest.empty() || armConditions.contains(rest)) {
            return {base, rest == "al" ? "" : rest};
        }
    }
    return {name, ""};
}

std::string armRegister(std::string name)
{
    static const std::map<std::string, std::string> aliases = {
        {"sb", "r9"},  {"sl", "r10"}, {"fp", "r11"}, {"ip", "r12"},
        {"sp", "r13"}, {"lr", "r14"}, {"pc", "r15"}};
    name = trim(name.substr(0, name.find('!')));
    return aliases.contains(name) ? aliases.at(name) : name;
}

std::vector<std::string> armList(const std::string &operand) // {r4, r5-r7, pc}
{
    std::vector<std::string> registers;
    for (const std::string &item : split(operand.substr(1, operand.size() - 2), ',')) {
        const std::vector<std::string> range = split(armRegister(item), '-');
        for (int r = std::stoi(armRegister(range[0]).substr(1));
             range.size() == 2 && r <= std::stoi(trim(range[1]).substr(1)); ++r) {
            registers.push_back("r" + std::to_string(r));
        }
        if (range.size() == 1) {
            registers.push_back(range[0]);
        }
    }
    return registers;
}

// An x86 general register by its 64-bit name (rax for eax, ax, al, ah), or "".
std::string x86Register(const std::string &name)
{
    static const std::regex pattern(R"([re]?([abcd])[xlh]|[re]?(si|di|bp|sp)l?|(r\d+)[dwb]?)");
    std::smatch m;
    if (!std::regex_match(name, m, pattern)) {
        return "";
    }
    return m[1].matched ? "r" + m[1].str() + "x" : m[2].matched ? "r" + m[2].str() : m[3].str();
}

Memory memoryOperand(Arch arch, const std::vector<std::string> &operands)
{
    Memory memory;
    for (int p = 0; p < int(operands.size()) && memory.position < 0; ++p) {
        const std::string &o = operands[p];
        const std::size_t open = o.find('[');
        if (open == std::string::npos) {
            memory.position = arch != Arch::arm && matches(o, ".*[c-gs]s:0x.*") ? p : -1;
            continue;
        }
        memory.position = p;
        const std::string inside = o.substr(open + 1, o.find(']') - open - 1);
        if (arch == Arch::arm) {
            const std::vector<std::string> parts = split(inside, ',');
            memory.base = armRegister(parts[0]);
            if (parts.size() > 1 && trim(parts[1]).starts_with("#")) {
                memory.displacement = number(trim(parts[1]));
            } else if (parts.size() > 1 && memory.base == "r15") {
                memory.index = armRegister(parts[1]);
            }
            continue;
        }
        for (const std::string &term :
             split(std::regex_replace(inside, std::regex("-"), "+-"), '+')) {
            if (term == "rip" || term == "eip") {
                memory.base = "rip";
            } else if (const std::size_t star = term.find('*'); star != std::string::npos) {
                memory.index = x86Register(term.substr(0, star));
                memory.scale = int(number(term.substr(star + 1)));
            } else if (!x86Register(term).empty() && memory.base.empty()) {
                memory.base = x86Register(term);
            } else if (matches(term, "-?0x[0-9a-f]+")) {
                memory.displacement += number(term);
            }
        }
    }
    return memory;
}

// What an instruction does: divide, multiply, shift, mask or other.
static std::string workOf(Arch arch, const Insn &i)
{
    const std::string first = i.operands.empty() ? "" : i.operands[0];
    if (arch == Arch::arm) {
        const std::string m = armOp(i.mnemonic).base;
        const bool dataWithShift =
            matches(m, "and|eor|sub|rsb|add|adc|sbc|rsc|tst|teq|cmp|cmn|orr|mov|bic|mvn") &&
            std::any_of(i.operands.begin(), i.operands.end(), [](const std::string &o) {
                return matches(o, "(lsl|lsr|asr|ror|rrx)( .*)?");
            });
        return matches(m, "sdiv|udiv|vdiv")                                     ? "divide"
               : matches(m, "mul|mla|mls|[su]mull|[su]mlal|vmul|vmla|vmls")     ? "multiply"
               : dataWithShift || matches(m, "lsl|lsr|asr|ror|rrx|vshl|vshr")   ? "shift"
               : matches(m, "and|bic|vand|vbic") && armRegister(first) != "r13" ? "mask"
                                                                                : "other";
    }
    const std::string &m = i.mnemonic;
    return matches(m, "i?div|v?div[sp][sd]|fi?divr?p?") ? "divide"
           : matches(m, "i?mul|mulx|v?mul[sp][sd]|v?pmul.*|v?pmadd.*|vfn?m(add|sub).*|fi?mulp?")
               ? "multiply"
           : matches(m, "s[ah][lr]|ro[lr]|rc[lr]|sh[lr]d|s[ah][lr]x|rorx|v?ps(ll|rl|ra).*")
               ? "shift"
           : matches(m, "andn?|v?pandn?[dq]?|v?andn?p[sd]") && x86Register(first) != "rsp"
               ? "mask"
               : "other";
}

// ------------------------------------------------------------------ flow

Step flowOf(const Object &object, const std::string &section, const Symbol &function, const Insn &i)
{
    Step step;
    step.work = workOf(object.arch, i);
    std::string kind; // call or branch, when direct
    const std::string first = i.operands.empty() ? "" : i.operands[0];
    const bool direct = matches(first, "[0-9a-f]+ <.*>");
    if (object.arch == Arch::arm) {
        const ArmOp op = armOp(i.mnemonic);
        const std::string reg = armRegister(first);
        step.conditional = !op.cond.empty();
        if (op.base == "b" || op.base == "bl" || (op.base == "blx" && direct)) {
            kind = op.base == "b" ? "branch" : "call";
        } else if (op.base == "bx" || op.base == "blx") {
            step.flow = op.base == "blx" ? "icall" : reg == "r14" ? "ret" : "ijump";
        } else if ((op.base == "pop" || op.base == "ldm") &&
                   std::ranges::count(armList(i.operands.back()), "r15") > 0) {
            step.flow = op.base == "pop" || reg == "r13" ? "ret" : "ijump";
        } else if (op.base == "ldr" && reg == "r15") {
            step.flow = i.operands.size() == 3 && i.operands[1] == "[sp]" ? "ret" : "ijump";
        } else if (reg == "r15" && !matches(op.base, "str|stm|push|cmp|cmn|tst|teq")) {
            step.flow = op.base == "mov" && armRegister(i.operands[1]) == "r14" ? "ret" : "ijump";
        }
    } else {
        if (matches(i.mnemonic, "ret[nq]?")) {
            step.flow = "ret";
        } else if (i.mnemonic == "call" || i.mnemonic.starts_with("j") ||
                   i.mnemonic.starts_with("loop")) {
            step.conditional = i.mnemonic != "call" && i.mnemonic != "jmp";
            if (direct) {
                kind = i.mnemonic == "call" ? "call" : "branch";
            } else {
                step.flow = i.mnemonic == "call" ? "icall" : "ijump";
            }
        }
    }
    if (kind.empty()) {
        return step;
    }
    step.flow = kind == "call" ? "call" : "tailcall";
    const auto &relocs = object.sections.at(section).relocs;
    const auto r = relocs.lower_bound(i.address);
    if (r != relocs.end() && r->first < i.end()) { // named by the relocation
        const Place place = resolve(object, r->second, i.end() - r->first);
        const auto s = object.symbols.find(r->second.symbol);
        const Symbol *callee = functionAt(object, place);
        step.dest =
            s == object.symbols.end() || s->second.section == "*UND*" || s->second.type == 'F'
                ? r->second.symbol
            : callee ? callee->name
                     : "?";
    } else if (const Symbol *callee =
                   functionAt(object, {section, "", std::stoll(first, nullptr, 16)});
               kind == "branch" && callee == &function) {
        step.flow = step.conditional ? "cjump" : "jump";
        step.to = std::stoll(first, nullptr, 16) - function.value;
        step.dest = std::to_string(*step.to);
    } else {
        step.dest = callee ? callee->name : "?";
    }
    if (matches(step.dest, "__aeabi_.*div.*|__u?(div|mod)[sd]i3")) {
        step.work = "divide";
    }
    return step;
}

// ------------------------------------------------------------------ control flow

Graph graphOf(const Object &object, const Symbol &f, const std::vector<const Insn *> &insns,
              const std::vector<Step> &steps, const std::vector<Place> &pointers)
{
    std::map<std::int64_t, int> index; // offset in the function -> instruction
    for (std::size_t k = 0; k < insns.size(); ++k) {
        index[insns[k]->address - f.value] = int(k);
    }
    Graph graph{std::vector<std::vector<int>>(insns.size())};
    for (std::size_t k = 0; k < insns.size(); ++k) {
        const Step &step = steps[k];
        std::vector<std::int64_t> to;
        if (step.to) {
            to.push_back(*step.to);
        }
        for (const Place &place : pointers) {
            if (step.flow == "ijump" && functionAt(object, place) == &f) {
                to.push_back(place.offset - f.value);
            }
        }
        // ARM "add pc, pc, rN, lsl #2" jumps into the table of branches that follows it.
        for (std::int64_t at = insns[k]->address - f.value + 8;
             step.flow == "ijump" && object.arch == Arch::arm &&
             armOp(insns[k]->mnemonic).base == "add" && index.contains(at) &&
             insns[index[at]]->mnemonic == "b";
             at += 4) {
            to.push_back(at);
        }
        if ((step.conditional || !matches(step.flow, "jump|ijump|ret|tailcall")) &&
            k + 1 < insns.size()) {
            graph.successors[k].push_back(int(k + 1));
        }
        for (std::int64_t offset : to) {
            if (index.contains(offset)) {
                graph.successors[k].push_back(index[offset]);
            }
        }
    }
    return graph;
}

// ------------------------------------------------------------------ loops

// The natural loops of a control-flow graph entered at node 0: for each back edge n -> h,
// where h dominates n (every path from the entry to n passes through h), h and every node
// that reaches n without passing through h. Loops with the same head are one.
std::map<int, std::set<int>> naturalLoops(const std::vector<std::vector<int>> &successors)
{
    const int count = int(successors.size());
    const auto reachedAvoiding = [&](int avoided) {
        std::vector<bool> seen(count, false);
        std::vector<int> work;
        if (count > 0 && avoided != 0) {
            seen[0] = true;
            work.push_back(0);
        }
        while (!work.empty()) {
            const int node = work.back();
            work.pop_back();
            for (int next : successors[node]) {
                if (next != avoided && !seen[next]) {
                    seen[next] = true;
                    work.push_back(next);
                }
            }
        }
        return seen;
    };
    const std::vector<bool> reachable = reachedAvoiding(-1);
    std::vector<std::vector<int>> predecessors(count);
    for (int node = 0; node < count; ++node) {
        for (int next : successors[node]) {
            predecessors[next].push_back(node);
        }
    }
    std::map<int, std::set<int>> loops;
    for (int head = 0; head < count; ++head) {
        const std::vector<bool> avoiding = reachedAvoiding(head);
        for (int tail : predecessors[head]) {
            if (!reachable[tail] || avoiding[tail]) {
                continue; // not a back edge: the head does not dominate the tail
            }
            std::set<int> &body = loops[head];
            body.insert(head);
            for (std::vector<int> work = {tail}; !work.empty();) {
                const int node = work.back();
                work.pop_back();
                if (reachable[node] && body.insert(node).second) {
                    work.insert(work.end(), predecessors[node].begin(), predecessors[node].end());
                }
            }
        }
    }
    return loops;
}

} // namespace harness::oracle
