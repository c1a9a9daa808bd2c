// Capstone's detail for each instruction turned into target-neutral facts. Arithmetic is
// classified by instruction family (its name without condition or size suffixes), so that
// vector instructions count as what they do: pslld is a shift, pmulld a multiply.
#include "decode.h"

#include <capstone/capstone.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <regex>
#include <stdexcept>

namespace explorer
{

// What differs between the targets besides their instructions: how Capstone decodes them,
// the registers a call may change (the callee need not keep them) and the DWARF numbers
// of the named register families (on x86-64 and ARM, "rN" is N).
struct Decoder::Isa {
    std::string target;
    cs_arch arch;
    cs_mode mode;
    std::vector<std::string> callerSaved;
    std::map<std::string, int> dwarf;
};

namespace
{

const Decoder::Isa isas[] = {
    {"x86-64",
     CS_ARCH_X86,
     CS_MODE_64,
     {"a", "c", "d", "si", "di", "r8", "r9", "r10", "r11"},
     {{"a", 0}, {"d", 1}, {"c", 2}, {"b", 3}, {"si", 4}, {"di", 5}, {"bp", 6}, {"sp", 7}}},
    {"i386",
     CS_ARCH_X86,
     CS_MODE_32,
     {"a", "c", "d"},
     {{"a", 0}, {"c", 1}, {"d", 2}, {"b", 3}, {"sp", 4}, {"bp", 5}, {"si", 6}, {"di", 7}}},
    {"arm",
     CS_ARCH_ARM,
     CS_MODE_ARM,
     {"r0", "r1", "r2", "r3", "ip", "r12", "lr"},
     {{"sb", 9}, {"sl", 10}, {"fp", 11}, {"ip", 12}, {"sp", 13}, {"lr", 14}, {"pc", 15}}},
};

// Whether a register family is a numbered one ("r9", "r12").
bool numbered(const std::string &family)
{
    return family.size() >= 2 && family[0] == 'r' &&
           std::isdigit(static_cast<unsigned char>(family[1]));
}

// "rax", "eax", "ax", "al" -> "a"; "r9d" -> "r9"; "esi" -> "si"; other names stay.
std::string x86Family(const std::string &name)
{
    static const std::map<std::string, std::string> families = [] {
        std::map<std::string, std::string> all;
        for (const char *letter : {"a", "b", "c", "d"}) {
            const std::string l = letter;
            for (const std::string &form :
                 {"r" + l + "x", "e" + l + "x", l + "x", l + "l", l + "h"}) {
                all[form] = l;
            }
        }
        for (const char *pair : {"si", "di", "bp", "sp"}) {
            const std::string p = pair;
            for (const std::string &form : {"r" + p, "e" + p, p, p + "l"}) {
                all[form] = p;
            }
        }
        all["rip"] = all["eip"] = all["ip"] = "ip";
        return all;
    }();
    auto it = families.find(name);
    if (it != families.end()) {
        return it->second;
    }
    if (numbered(name)) {
        std::string family = name;
        while (!family.empty() && !std::isdigit(static_cast<unsigned char>(family.back()))) {
            family.pop_back();
        }
        return family;
    }
    return name;
}

// The work of an instruction by the name of its family, scalar or vector: x86 ("imul",
// "pmulld", "vmulps", ...) or ARM ("mul", "vmul", ...; no condition or type suffixes).
Work workOf(bool arm, const std::string &name)
{
    struct Family {
        Work work;
        std::regex pattern;
    };
    static const std::vector<Family> x86Families = {
        {Work::divide, std::regex("(i?div|div[sp][sd]|fi?divr?p?)")},
        {Work::multiply,
         std::regex("(i?mul|mulx|mul[sp][sd]|fi?mulp?|pmul.*|pmadd.*|fn?m(add|sub).*)")},
        {Work::shift,
         std::regex("(sh[lr]|sa[lr]|ro[lr]|rc[lr]|sh[lr]d|sh[lr]x|sarx|rorx|ps(ll|rl|ra).*)")},
        {Work::mask, std::regex("(and|andn|pand|pandn|andn?p[sd])")},
    };
    static const std::vector<Family> armFamilies = {
        {Work::divide, std::regex("(sdiv|udiv|vdiv)")},
        {Work::multiply,
         std::regex("(mul|mla|mls|[su]mull|[su]mlal|umaal|smul.*|smla.*|smls.*|smm(ul|la|ls).*|"
                    "smuad.*|smusd.*|vn?mul.*|vn?ml[as]|vfn?m[as]|vq.*mul.*|vqdml[as].*)")},
        {Work::shift, std::regex("(lsl|lsr|asr|ror|rrx|vq?r?sh[lr].*|vr?sra|vsli|vsri)")},
        {Work::mask, std::regex("(and|bic|vand|vbic)")},
    };
    // Every object repeats a few hundred names: remember each answer.
    static std::mutex lock;
    static std::map<std::pair<bool, std::string>, Work> known;
    std::lock_guard<std::mutex> guard(lock);
    const auto [it, added] = known.try_emplace({arm, name}, Work::other);
    if (added) {
        // The families of x86 vector instructions keep their names under the AVX "v" prefix.
        const std::string base = !arm && name.size() > 2 && name[0] == 'v' ? name.substr(1) : name;
        for (const Family &family : arm ? armFamilies : x86Families) {
            if (std::regex_match(base, family.pattern)) {
                it->second = family.work;
                break;
            }
        }
    }
    return it->second;
}

} // namespace

Decoder::Decoder(const std::string &target) : isa_(nullptr)
{
    for (const Isa &isa : isas) {
        isa_ = isa.target == target ? &isa : isa_;
    }
    csh handle = 0;
    if (isa_ == nullptr || cs_open(isa_->arch, isa_->mode, &handle) != CS_ERR_OK) {
        throw std::runtime_error("the disassembler cannot handle " + target);
    }
    cs_option(handle, CS_OPT_DETAIL, CS_OPT_ON);
    handle_ = handle;
}

Decoder::~Decoder()
{
    csh handle = handle_;
    cs_close(&handle);
}

const std::vector<std::string> &Decoder::callerSaved() const
{
    return isa_->callerSaved;
}

int Decoder::dwarfNumber(const std::string &family) const
{
    auto it = isa_->dwarf.find(family);
    if (it != isa_->dwarf.end()) {
        return it->second;
    }
    return numbered(family) ? std::stoi(family.substr(1)) : -1;
}

namespace
{

std::string regName(csh handle, unsigned reg, bool arm)
{
    if (reg == 0) {
        return "";
    }
    const char *name = cs_reg_name(handle, reg);
    if (name == nullptr) {
        return "";
    }
    return arm ? std::string(name) : x86Family(name);
}

void decodeX86(csh handle, const cs_insn &insn, Decoded &out)
{
    const cs_x86 &x86 = insn.detail->x86;
    bool jumpGroup = false;
    for (int i = 0; i < insn.detail->groups_count; ++i) {
        jumpGroup = jumpGroup || insn.detail->groups[i] == CS_GRP_JUMP;
    }
    const bool immediate = x86.op_count == 1 && x86.operands[0].type == X86_OP_IMM;
    switch (insn.id) {
    case X86_INS_CALL:
    case X86_INS_LCALL:
        out.flow = immediate ? Flow::call : Flow::indirectCall;
        break;
    case X86_INS_JMP:
    case X86_INS_LJMP:
        out.flow = immediate ? Flow::jump : Flow::indirectJump;
        break;
    case X86_INS_RET:
    case X86_INS_RETF:
    case X86_INS_RETFQ:
    case X86_INS_IRET:
    case X86_INS_IRETD:
    case X86_INS_IRETQ:
        out.flow = Flow::ret;
        break;
    default:
        if (jumpGroup) {
            out.flow = Flow::conditionalJump;
            out.conditional = true;
        }
        break;
    }
    if (immediate && out.flow != Flow::next) {
        out.directTarget = std::uint64_t(x86.operands[0].imm);
    }
    out.takesAddress = insn.id == X86_INS_LEA;
    if (x86.op_count > 0 && x86.operands[0].type == X86_OP_REG) {
        out.destination = regName(handle, x86.operands[0].reg, false);
    }
    if (x86.encoding.imm_size > 0) {
        out.immediateAt = x86.encoding.imm_offset;
    }
    const std::string name = insn.mnemonic;
    if (insn.id == X86_INS_NOP || name.starts_with("prefetch")) {
        return; // names memory it never reads or writes
    }
    // x87 stores write their memory operand (whatever the decoder's access flags say).
    const bool x87Store = name.starts_with("fst") || name.starts_with("fist") ||
                          name.starts_with("fbstp") || name.starts_with("fnst");
    for (int i = 0; i < x86.op_count; ++i) {
        const cs_x86_op &op = x86.operands[i];
        if (op.type != X86_OP_MEM) {
            continue;
        }
        MemoryOperand m;
        m.base = regName(handle, op.mem.base, false);
        m.index = regName(handle, op.mem.index, false);
        m.scale = op.mem.scale;
        m.displacement = op.mem.disp;
        m.reads = !out.takesAddress && !x87Store && (op.access & CS_AC_READ) != 0;
        m.writes = !out.takesAddress && (x87Store || (op.access & CS_AC_WRITE) != 0);
        if (x86.encoding.disp_size > 0) {
            m.displacementAt = x86.encoding.disp_offset;
        }
        out.memory.push_back(m);
    }
}

void decodeArm(csh handle, const cs_insn &insn, const std::string &name, Decoded &out)
{
    const cs_arm &arm = insn.detail->arm;
    out.conditional = arm.cc != ARM_CC_AL && arm.cc != ARM_CC_INVALID;
    const bool immediate = arm.op_count == 1 && arm.operands[0].type == ARM_OP_IMM;
    const bool writesPc =
        std::find(out.written.begin(), out.written.end(), "pc") != out.written.end();
    if (arm.op_count > 0 && arm.operands[0].type == ARM_OP_REG) {
        out.destination = regName(handle, arm.operands[0].reg, true);
    }
    switch (insn.id) {
    case ARM_INS_B:
        out.flow =
            immediate ? (out.conditional ? Flow::conditionalJump : Flow::jump) : Flow::indirectJump;
        break;
    case ARM_INS_BL:
    case ARM_INS_BLX:
        out.flow = immediate ? Flow::call : Flow::indirectCall;
        break;
    case ARM_INS_BX:
        out.flow = out.destination == "lr" ? Flow::ret : Flow::indirectJump;
        break;
    default:
        if (writesPc || out.destination == "pc") {
            // A return takes the address the call left: from the stack or from lr.
            const bool fromStack =
                insn.id == ARM_INS_POP ||
                ((insn.id == ARM_INS_LDM || insn.id == ARM_INS_LDR) && arm.op_count >= 2 &&
                 ((arm.operands[0].type == ARM_OP_REG && arm.operands[0].reg == ARM_REG_SP) ||
                  (arm.operands[1].type == ARM_OP_MEM && arm.operands[1].mem.base == ARM_REG_SP)));
            const bool fromLr = insn.id == ARM_INS_MOV && arm.op_count == 2 &&
                                arm.operands[1].type == ARM_OP_REG &&
                                arm.operands[1].reg == ARM_REG_LR;
            out.flow = fromStack || fromLr ? Flow::ret : Flow::indirectJump;
        }
        break;
    }
    if (immediate &&
        (out.flow == Flow::jump || out.flow == Flow::conditionalJump || out.flow == Flow::call)) {
        out.directTarget = std::uint32_t(arm.operands[0].imm);
    }
    const bool loads = name.starts_with("ld") || name.starts_with("vld");
    const bool stores = name.starts_with("st") || name.starts_with("vst");
    for (int i = 0; i < arm.op_count; ++i) {
        const cs_arm_op &op = arm.operands[i];
        if (op.type != ARM_OP_MEM) {
            continue;
        }
        MemoryOperand m;
        m.base = regName(handle, op.mem.base, true);
        m.index = regName(handle, op.mem.index, true);
        m.displacement = std::int64_t(op.mem.disp) * (op.subtracted ? -1 : 1);
        m.reads = loads;
        m.writes = stores;
        out.memory.push_back(m);
        if (insn.id == ARM_INS_LDR && op.mem.base == ARM_REG_PC &&
            op.mem.index == ARM_REG_INVALID) {
            out.isLiteralLoad = true;
            out.literalAddress = insn.address + 8 + m.displacement;
        }
    }
    // ldm r3, {r0, r1} and stm: the first register is the address (push and pop use sp).
    if ((insn.id == ARM_INS_LDM || insn.id == ARM_INS_STM || insn.id == ARM_INS_LDMIB ||
         insn.id == ARM_INS_STMIB || insn.id == ARM_INS_LDMDA || insn.id == ARM_INS_STMDA ||
         insn.id == ARM_INS_LDMDB || insn.id == ARM_INS_STMDB) &&
        arm.op_count > 0 && arm.operands[0].type == ARM_OP_REG &&
        arm.operands[0].reg != ARM_REG_SP) {
        MemoryOperand m;
        m.base = regName(handle, arm.operands[0].reg, true);
        m.span = 4 * std::int64_t(arm.op_count - 1);
        m.reads = loads;
        m.writes = stores;
        out.memory.push_back(m);
    }
    if (insn.id == ARM_INS_ADD && arm.op_count == 3 && arm.operands[1].type == ARM_OP_REG &&
        arm.operands[1].reg == ARM_REG_PC && arm.operands[2].type == ARM_OP_REG) {
        out.addsPc = true;
        out.pcAddend = regName(handle, arm.operands[2].reg, true);
    }
    // A register operand shifted on the way in (add r3, r3, r2, lsl #30) is a shift as well;
    // a scaled index of a load or store only forms its address.
    if (out.work == Work::other) {
        for (int i = 0; i < arm.op_count; ++i) {
            if (arm.operands[i].type == ARM_OP_REG &&
                arm.operands[i].shift.type != ARM_SFT_INVALID && arm.operands[i].shift.value != 0) {
                out.work = Work::shift;
            }
        }
    }
}

} // namespace

std::vector<Decoded> Decoder::decode(const std::uint8_t *bytes, std::uint64_t size,
                                     std::uint64_t from, std::uint64_t to) const
{
    std::vector<Decoded> result;
    const csh handle = handle_;
    const bool arm = isa_->arch == CS_ARCH_ARM;
    cs_insn *insns = nullptr;
    const std::size_t count = cs_disasm(handle, bytes + from, to - from, from, 0, &insns);
    for (std::size_t i = 0; i < count; ++i) {
        const cs_insn &insn = insns[i];
        Decoded out;
        out.address = insn.address;
        out.size = insn.size;
        out.mnemonic = insn.mnemonic;
        out.operands = insn.op_str;
        const char *baseName = cs_insn_name(handle, insn.id);
        const std::string name = baseName != nullptr ? baseName : insn.mnemonic;
        out.work = workOf(arm, name);
        cs_regs read, written;
        std::uint8_t readCount = 0, writtenCount = 0;
        if (cs_regs_access(handle, &insn, read, &readCount, written, &writtenCount) == CS_ERR_OK) {
            for (std::uint8_t w = 0; w < writtenCount; ++w) {
                out.written.push_back(regName(handle, written[w], arm));
            }
        }
        if (arm) {
            decodeArm(handle, insn, name, out);
        } else {
            decodeX86(handle, insn, out);
        }
        if (out.isLiteralLoad && out.literalAddress + 4 <= size) {
            std::memcpy(&out.literalWord, bytes + out.literalAddress, 4);
        }
        // Aligning the stack pointer (and esp, -16; bic sp, sp, #7) is not a mask of data.
        if (out.work == Work::mask && out.destination == "sp") {
            out.work = Work::other;
        }
        result.push_back(std::move(out));
    }
    cs_free(insns, count);
    return result;
}

} // namespace explorer
