-- ACE stays sound and silent across the objects' lifetimes: objects are made, made to
-- have ACE complain (a join on a second port, a join of an address that is no group, an
-- address that does not parse) and released again, of both classes, interleaved and one
-- after the other. The test fails on any output at all, so the script prints nothing
-- unless a check fails.
local check = dofile(arg[0]:match("^(.-)[^/]*$") .. "check.lua")

local function collect()
  collectgarbage()
  collectgarbage()
end

-- ACE's logger complains about a join on another port than the one the socket is bound
-- to; once the last object had torn ACE down, the next round wrote into freed memory.
for round = 1, 3 do
  local listener = xtra.new("Tidelisten")
  check.equal(listener:Open(45101, "239.255.67.19"), 0, "round " .. round .. ": the first join")
  check.equal(listener:Open(45056, "239.255.67.2"), -1, "round " .. round .. ": a join on another port")
  listener:Close()
  listener = nil
  collect()
end

-- Other complaints, with a speaker alive across the listeners' lives and then the other
-- way round, and objects of one class going while the other's are in use.
local speaker = xtra.new("Tidespeak")
for round = 1, 2 do
  local listener = xtra.new("Tidelisten")
  check.equal(listener:Open(45102, "10.199.0.1"), -1, "a join of an address that is no group")
  check.equal(listener:Open(45102, "300.1.2.3"), -1, "an address that does not parse")
  check.equal(listener:Open(45102, "239.255.67.20"), 0, "a group after refused ones")
  check.equal(listener:Open(45057, "239.255.67.21"), -1, "and then another port")
  speaker:Open(45102, "300.1.2.3")
  speaker:SendText("nowhere")
  listener = nil
  collect()
end
speaker = nil
collect()

local listener = xtra.new("Tidelisten")
check.equal(listener:Open(45103, "239.255.67.22"), 0, "a listener made after every object went")
for round = 1, 2 do
  local other = xtra.new("Tidespeak")
  other:Open(45058, "239.255.67.23")
  other:SendText("to a group nobody listens on")
  other = nil
  collect()
  check.equal(listener:Open(45059, "239.255.67.24"), -1, "round " .. round .. ": a join on another port")
end
listener = nil
collect()

if check.failures > 0 then os.exit(1) end
