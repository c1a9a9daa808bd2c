# Reads `objdump -d -r -C --no-show-raw-insn` of one object file and prints, for each
# function, what the explorer compares between optimisation levels:
#   fact NAME bytes N insns N loop 0|1 loopglobal N globals N stack N divides N shifts N masks N calls A,B uses G,H
# (calls: the functions it calls; uses: the globals it names, "-" for none)
#   asm NAME +OFFSET INSTRUCTION
# Variables: symbols (a file of `nm -C -S --defined-only` lines) and target (x86-64, arm, i386).

# A demangled name without its parameter list: "f1()" -> "f1".
function plain(name) {
    sub(/\(.*$/, "", name)
    return name
}

# The symbol a relocation names, without its addend: "global_var-0x4" -> "global_var".
function reloc_symbol(text) {
    sub(/[-+]0x[0-9a-f]+$/, "", text)
    return plain(text)
}

function flush(   i, name) {
    if (fn == "")
        return
    loopglobal = 0
    for (i = 1; i <= n; i++) {
        if (gaccess[i] && inloop(addr[i]))
            loopglobal++
    }
    printf "fact %s bytes %d insns %d loop %d loopglobal %d globals %d stack %d divides %d shifts %d masks %d calls %s uses %s\n",
        fn, size[fn], n, (nloops > 0), loopglobal, globals, stack, divides, shifts, masks,
        (calls == "" ? "-" : calls), (uses == "" ? "-" : uses)
    for (i = 1; i <= n; i++) {
        printf "asm %s +0x%x %s\n", fn, addr[i] - start, text[i]
    }
    fn = ""
}

function inloop(a,   j) {
    for (j = 1; j <= nloops; j++) {
        if (a >= loopfrom[j] && a <= loopto[j])
            return 1
    }
    return 0
}

function hex(s,   i, value) {
    value = 0
    s = tolower(s)
    for (i = 1; i <= length(s); i++)
        value = value * 16 + index("0123456789abcdef", substr(s, i, 1)) - 1
    return value
}

function addcall(name) {
    if (index("," calls ",", "," name ",") == 0)
        calls = (calls == "" ? name : calls "," name)
    if (name ~ /^(__aeabi_[ui]?div|__aeabi_[ui]divmod|__divsi3|__udivsi3|__modsi3|__umodsi3)/)
        divides++
}

BEGIN {
    while ((getline line < symbols) > 0) {
        # address size type name (the name may hold blanks once demangled)
        if (split(line, f, " ") < 4)
            continue
        name = line
        sub(/^[^ ]+ [^ ]+ [^ ]+ /, "", name)
        if (f[3] ~ /^[Tt]$/)
            size[plain(name)] = hex(f[2])
        else if (f[3] ~ /^[BbDdGgSsC]$/)
            data[plain(name)] = 1
    }
    wanted["main"] = wanted["f1"] = wanted["f2"] = 1
    target_is_x86 = target != "arm"
}

# A function starts: "0000000000000010 <f1()>:"
/^[0-9a-f]+ <.*>:$/ {
    flush()
    name = $0
    sub(/^[0-9a-f]+ </, "", name)
    sub(/>:$/, "", name)
    name = plain(name)
    if (!(name in wanted) || !(name in size))
        next
    fn = name
    start = hex($1)
    n = globals = stack = divides = shifts = masks = nloops = 0
    calls = uses = ""
    pool = 0
    next
}

fn == "" { next }

# A relocation belongs to the instruction before it.
/^\t+ *[0-9a-f]+: R_/ {
    symbol = reloc_symbol($NF)
    if ((symbol in data) && index("," uses ",", "," symbol ",") == 0)
        uses = (uses == "" ? symbol : uses "," symbol)
    if (n == 0 || pool)
        next          # a literal pool word: the address of a global, not an access
    if (symbol in data) {
        if (!gaccess[n])
            globals++
        gaccess[n] = 1
    }
    if (mnemonic[n] ~ /^(call|bl|blx)$/) {
        addcall(symbol)
        text[n] = mnemonic[n] " " symbol
    } else if (text[n] ~ /0x0\(/) {
        sub(/0x0\(/, symbol "(", text[n])
    } else {
        text[n] = text[n] "    <" symbol ">"
    }
    next
}

# An instruction: "  1c:\tcall   21 <f1()+0x16>"
/^ *[0-9a-f]+:\t/ {
    a = $1
    sub(/:$/, "", a)
    a = hex(a)
    pool = 1
    if (a >= start + size[fn])
        next          # alignment padding after the function's end
    body = $0
    sub(/^ *[0-9a-f]+:\t/, "", body)
    if (body ~ /^\.(word|short|byte)/)
        next          # an ARM literal pool: data, not an instruction
    pool = 0
    sub(/[ \t]+[#@] [0-9a-fx]+ <[^>]*>$/, "", body)   # the address a PC-relative load reads
    op = body
    sub(/[ \t].*$/, "", op)
    operands = body
    if (sub(/^[^ \t]+[ \t]+/, "", operands) == 0)
        operands = ""
    n++
    addr[n] = a
    mnemonic[n] = op
    gaccess[n] = 0

    # A branch inside the function: show its target as an offset; a backward one is a loop.
    if (match(operands, /^[0-9a-f]+ <[^>]*>$/) && op !~ /^(call|bl|blx)$/) {
        target = hex(substr(operands, 1, index(operands, " ") - 1))
        operands = sprintf("+0x%x", target - start)
        if (target <= a && target >= start) {
            nloops++
            loopfrom[nloops] = target
            loopto[nloops] = a
        }
    } else if (op ~ /^(call|bl|blx)$/ && match(operands, /<[^>+]*>$/)) {
        # A call the assembler already resolved (no relocation follows).
        callee = plain(substr(operands, RSTART + 1, RLENGTH - 2))
        if (callee !~ /\+0x/) {
            addcall(callee)
            operands = callee
        }
    }
    text[n] = operands == "" ? op : op " " operands

    if (target_is_x86) {
        if (op ~ /^i?div/)
            divides++
        if (op ~ /^(sar|shr|shl|sal)/)
            shifts++
        if (op ~ /^and/ && operands !~ /%[re]?sp$/)
            masks++
        if (op ~ /^mov/ && operands ~ /\(%[re]?(bp|sp)\)$/)
            stack++
    } else {
        if (op ~ /^[su]div/)
            divides++
        if (op ~ /^(asr|lsr|lsl)/ || operands ~ /(asr|lsr|lsl) #/)
            shifts++
        if (op ~ /^(and|bic)/ && operands !~ /^sp,/)
            masks++
        if (op ~ /^str/ && operands ~ /\[(fp|sp|r11)/)
            stack++
    }
    next
}

END {
    flush()
}
