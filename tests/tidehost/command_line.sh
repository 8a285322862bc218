#!/bin/sh
# tidehost as a command: help and version, exit statuses, `arg`, and the orderly end
# that releases everything a script leaves behind and reports nothing when nothing is
# left over. Run by tide_in_private_network with the tidehost binary as $1.
TIDEHOST="$1"
. "$(dirname "$0")/../support/checks.sh"

# run NAME ARGS...: runs tidehost, keeping its status, stdout and stderr.
run() {
    name="$1"
    shift
    "$TIDEHOST" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err"
    STATUS=$?
}

expect_status() {
    [ "$STATUS" -eq "$2" ] || fail "$1: exit status $STATUS, expected $2 (stderr: $(cat "$WORK/$1.err"))"
}

expect_in() {  # NAME out|err TEXT
    grep -qF -- "$3" "$WORK/$1.$2" || fail "$1: $2 does not say '$3': $(cat "$WORK/$1.$2")"
}

expect_lines() {  # NAME out|err COUNT
    lines=$(wc -l <"$WORK/$1.$2")
    [ "$lines" -eq "$3" ] || fail "$1: $2 has $lines lines, expected $3: $(cat "$WORK/$1.$2")"
}

run help --help
expect_status help 0
expect_in help out "usage: tidehost [--plugins DIR] [--no-address-table] SCRIPT.lua [ARGS...]"

run version --version
expect_status version 0
expect_in version out "Lua 5.4"

run no_script
expect_status no_script 2
expect_lines no_script err 1

run missing_script "$WORK/nowhere.lua"
expect_status missing_script 2
expect_in missing_script err "cannot open"
expect_lines missing_script err 1

echo 'print("never")' >"$WORK/plain.lua"
run missing_modules --plugins "$WORK/no-modules" "$WORK/plain.lua"
expect_status missing_modules 2
expect_in missing_modules err "cannot load $WORK/no-modules/Tidelisten${TIDE_MODULE_SUFFIX:-.so}"
expect_lines missing_modules err 1
expect_lines missing_modules out 0

# Addresses wider than a script's integers need the host's address table.
if [ "${TIDE_ADDRESS_BITS:-64}" -gt 32 ]; then
    run no_table --no-address-table "$WORK/plain.lua"
    expect_status no_table 2
    expect_in no_table err "--no-address-table needs addresses of 32 bits"
fi

echo 'print(' >"$WORK/syntax.lua"
run syntax "$WORK/syntax.lua"
expect_status syntax 1

cat >"$WORK/raises.lua" <<'LUA'
local function deeper() error("raised on purpose") end
deeper()
LUA
run raises "$WORK/raises.lua"
expect_status raises 1
expect_in raises err "raised on purpose"
expect_in raises err "stack traceback:"
expect_in raises err "in local 'deeper'"

cat >"$WORK/args.lua" <<'LUA'
print(arg[0], arg[1], arg[2], select("#", ...), ...)
LUA
run args "$WORK/args.lua" one "two words"
expect_status args 0
expect_in args out "$WORK/args.lua	one	two words	2	one	two words"

echo 'print("from standard input", arg[1])' | "$TIDEHOST" - piped >"$WORK/stdin.out" 2>"$WORK/stdin.err"
STATUS=$?
expect_status stdin 0
expect_in stdin out "from standard input	piped"

# A script that leaves everything behind: a started listener whose script object holds
# the listener (a cycle through the plug-in), a speaker, memory from host.alloc, a
# property list. The end releases it all and has nothing to report.
cat >"$WORK/leaves.lua" <<'LUA'
local receiver = {}
receiver.listener = xtra.new("Tidelisten")
function receiver:onText(list) self.last = list end
receiver.listener:SetScriptObject(receiver)
receiver.listener:OnTextData(symbol("onText"))
assert(receiver.listener:Open(46301, "239.255.63.1") == 0)
receiver.listener:Start()
local speaker = xtra.new("Tidespeak")
speaker:Open(46301, "239.255.63.1")
speaker:SendText("left behind")
speaker:SendBuffer(host.alloc("never freed"), 11)
local deadline = host.now() + 10
while not receiver.last and host.now() < deadline do host.run(0.05) end
assert(receiver.last, "the text arrived")
print("alive at the end:", host.stats().values > 0, host.stats().notification_clients)
LUA
run leaves "$WORK/leaves.lua"
expect_status leaves 0
expect_in leaves out "alive at the end:	true	1"
expect_lines leaves err 0

cat >"$WORK/exits.lua" <<'LUA'
local speaker = xtra.new("Tidespeak")
os.exit(7)
LUA
run exits "$WORK/exits.lua"
expect_status exits 7
expect_lines exits err 0

# os.exit and an uncaught error from inside a handler end the run in order too.
cat >"$WORK/handler_ends.lua" <<'LUA'
local how = ...
local receiver = {}
function receiver:onText(list)
  if how == "exit" then os.exit(5) end
  error("handler gave up")
end
local listener = xtra.new("Tidelisten")
listener:SetScriptObject(receiver)
listener:OnTextData(symbol("onText"))
assert(listener:Open(46302, "239.255.63.2") == 0)
listener:Start()
local speaker = xtra.new("Tidespeak")
speaker:Open(46302, "239.255.63.2")
speaker:SendText("end it")
host.run(10)
print("still running")
LUA
run handler_exit "$WORK/handler_ends.lua" exit
expect_status handler_exit 5
expect_lines handler_exit out 0
expect_lines handler_exit err 0

run handler_error "$WORK/handler_ends.lua" error
expect_status handler_error 1
expect_in handler_error err "in handler onText:"
expect_in handler_error err "handler gave up"
expect_lines handler_error out 0
[ "$(grep -c "stack traceback:" "$WORK/handler_error.err")" -eq 1 ] || fail "handler_error: one traceback, not two"

# interrupt NAME SIGNAL ARGS...: runs tidehost in the background, keeping its stdout and
# stderr, sends it SIGNAL once it has said "ready", and keeps its status.
interrupt() {
    name="$1"
    signal="$2"
    shift 2
    "$TIDEHOST" "$@" >"$WORK/$name.out" 2>"$WORK/$name.err" &
    BACKGROUND=$!
    wait_for "$WORK/$name.out" ready 20 "$WORK/$name.err"
    kill -"$signal" $BACKGROUND
    wait $BACKGROUND
    STATUS=$?
    BACKGROUND=""
}

# Ctrl-C ends host.run in order: it answers "interrupted" from then on, and the script
# finishes its own way. In plain Lua code it raises "interrupted". Either way the end
# releases everything.
cat >"$WORK/interrupted.lua" <<'LUA'
local listener = xtra.new("Tidelisten")
assert(listener:Open(46303, "239.255.63.3") == 0)
listener:Start()
if ... == "busy" then
  print("ready")
  while true do end
end
print("ready")
print(host.run())
print(host.run(60), host.sleep(60))
LUA
# QEMU 7.2's i386 emulation breaks a program with threads that takes a signal (its thread
# data is wrong after the handler: a join then aborts the process), so the 32-bit build
# is interrupted natively only.
if [ -n "${TIDE_UNDER_EMULATION:-}" ]; then
    echo "not under QEMU: interrupting tidehost (a signal to a program with threads)"
else
    interrupt interrupted INT "$WORK/interrupted.lua"
    expect_status interrupted 0
    expect_in interrupted out "interrupted"
    expect_in interrupted out "interrupted	false"
    expect_lines interrupted err 0
fi

# A handler named by a string, where the members take a symbol: the plug-in leaves the
# handler unset, and tidehost says so once for each name, by member and by property.
cat >"$WORK/string_handler.lua" <<'LUA'
local listener = xtra.new("Tidelisten")
listener:OnTextData("onText")
listener:OnTextData("onText")
listener.prop.OnBinaryData = "onBinary"
listener:OnTextData(symbol("onText"))
print("done")
LUA
run string_handler "$WORK/string_handler.lua"
expect_status string_handler 0
expect_in string_handler err 'tidehost: warning: OnTextData takes the handler'"'"'s name as a symbol, symbol("onText"), not the string "onText"; the handler stays as it was'
expect_in string_handler err 'OnBinaryData takes the handler'"'"'s name as a symbol, symbol("onBinary")'
expect_lines string_handler err 2

# Windows has no SIGTERM from outside (Wine ends the process at once on one).
if [ "${TIDE_MODULE_SUFFIX:-.so}" != ".dll" ] && [ -z "${TIDE_UNDER_EMULATION:-}" ]; then
    interrupt busy TERM "$WORK/interrupted.lua" busy
    expect_status busy 1
    expect_in busy err "interrupted"
    [ "$(grep -c "tidehost: error" "$WORK/busy.err")" -eq 0 ] || fail "busy: the end reported: $(cat "$WORK/busy.err")"
fi
finish
