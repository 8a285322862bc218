-- host.cpu() counts the CPU time of the host's thread in seconds: it grows while the
-- thread computes, never goes back, and never runs ahead of the clock on the wall. On
-- Windows the system counts a thread's time in clock ticks (10 to 16 ms), so the loop
-- computes until several ticks have been counted, however slowly a loaded machine lets
-- it.
local check = dofile(arg[0]:match("^(.-)[^/]*$") .. "check.lua")

local wanted = 0.1
local began, cpuBefore = host.now(), host.cpu()
check.equal(type(cpuBefore), "number", "host.cpu() is a number")
check.truthy(cpuBefore >= 0, "host.cpu() is not negative")
-- A bound far beyond any load, only so that a host.cpu() that never grows ends the loop.
local deadline = began + 60
local last, backwards, sum = cpuBefore, false, 0
repeat
  for i = 1, 100000 do sum = sum + i % 7 end
  local now = host.cpu()
  if now < last then backwards = true end
  last = now
until last - cpuBefore >= wanted or host.now() > deadline
local used, elapsed = last - cpuBefore, host.now() - began
check.truthy(sum > 0, "the loop ran")
check.truthy(not backwards, "host.cpu() never goes back")
check.truthy(used >= wanted, string.format("host.cpu() grew by %.3f s in %.1f s of computing", used, elapsed))
-- One thread cannot use more than the time that passed; two ticks allow for the
-- readings' steps.
check.truthy(used <= elapsed + 0.04,
  string.format("host.cpu() grew by %.3f s in %.3f s on the wall", used, elapsed))
check.done()
