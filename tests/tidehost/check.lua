-- What the tidehost test scripts share: checks that count failures instead of stopping
-- at the first, a listener started on a group for a script object's handlers, and a
-- listener and a speaker joined on one group with a script object that records what it
-- is handed.
local check = {failures = 0}

local function fail(what, detail)
  check.failures = check.failures + 1
  io.stderr:write("FAILED: ", what, detail and (": " .. detail) or "", "\n", debug.traceback("", 3), "\n")
end

function check.equal(actual, expected, what)
  if actual ~= expected then
    fail(what, string.format("got %q, expected %q", tostring(actual), tostring(expected)))
  end
end

function check.truthy(value, what)
  if not value then fail(what) end
end

-- `fn` raises an error whose message contains `text` (plain, not a pattern).
function check.raises(fn, text, what)
  local ok, message = pcall(fn)
  if ok then
    fail(what, "no error was raised")
  elseif not tostring(message):find(text, 1, true) then
    fail(what, string.format("the error %q does not say %q", tostring(message), text))
  end
  return message
end

-- What the host counts now (`host.stats()[name]`) once Lua's collector has run a full
-- cycle. Temporaries that hold host values (an object made for one expression, a list a
-- handler was handed) go whenever the collector's pace says, and that pace follows every
-- allocation before it, down to the length of the script's path: a count taken without a
-- collection first compares garbage, not what the code under test left alive.
function check.count(name)
  collectgarbage()
  return host.stats()[name]
end

-- Ends the script: status 1 when a check failed.
function check.done()
  if check.failures > 0 then
    io.stderr:write(check.failures, " check(s) failed\n")
    os.exit(1)
  end
  print("all checks passed")
end

-- A Tidelisten started on `group`:`port` that hands texts to receiver:onText and binary
-- messages to receiver:onBinary.
function check.listener(receiver, group, port)
  local listener = xtra.new("Tidelisten")
  listener:SetScriptObject(receiver)
  listener:OnTextData(symbol("onText"))
  listener:OnBinaryData(symbol("onBinary"))
  assert(listener:Open(port, group) == 0, "the listener could not join its group")
  listener:Start()
  return listener
end

-- A Tidelisten and a Tidespeak on `group`:`port`. The listener's script object records
-- every text list and binary message; `receiver:await(n)` runs the host until n
-- deliveries in all have come since `receiver:clear()` (or 10 s pass) and answers
-- whether they did.
function check.pair(group, port)
  local receiver = {texts = {}, binaries = {}}
  function receiver:onText(list)
    self.texts[#self.texts + 1] = list
    self:arrived()
  end
  function receiver:onBinary(address, length)
    self.binaries[#self.binaries + 1] = {address = address, length = length, bytes = host.peek(address, length)}
    self:arrived()
  end
  function receiver:arrived()
    if self.wanted and #self.texts + #self.binaries >= self.wanted then host.stop() end
  end
  function receiver:clear()
    self.texts, self.binaries = {}, {}
  end
  function receiver:await(count)
    self.wanted = count
    if #self.texts + #self.binaries < count then host.run(10) end
    self.wanted = nil
    return #self.texts + #self.binaries >= count
  end

  local listener = check.listener(receiver, group, port)
  local speaker = xtra.new("Tidespeak")
  speaker:Open(port, group)
  return listener, speaker, receiver
end

return check
