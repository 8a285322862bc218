-- exchange.lua send|receive GROUP PORT FOLDER: one end of an exchange between two hosts.
-- "send" sends FOLDER/text.txt (UTF-8) as a text and FOLDER/file.bin as a file; "receive"
-- prints "listening", puts the text's fragments together in order, and writes the text to
-- FOLDER/text.out and the binary message to FOLDER/file.out, then ends.
local role, group, port, folder = ...
port = math.tointeger(tonumber(port))
local check = dofile(arg[0]:match("^(.-)[^/]*$") .. "check.lua")

local function read(name)
  local file = assert(io.open(folder .. "/" .. name, "rb"))
  local bytes = file:read("a")
  file:close()
  return bytes
end

local function write(name, bytes)
  local file = assert(io.open(folder .. "/" .. name, "wb"))
  file:write(bytes)
  file:close()
end

if role == "send" then
  local speaker = xtra.new("Tidespeak")
  speaker:Open(port, group)
  assert(speaker:SendText(read("text.txt")) == 0)
  assert(speaker:SendBinary(folder .. "/file.bin") == 0)
  return
end

local fragments, count, text, file = {}, 0, nil, nil
local receiver = {}
function receiver:onText(list)
  if not fragments[list.tindex] then count = count + 1 end
  fragments[list.tindex] = list.data
  if count == list.tcount then text = table.concat(fragments) end
  if text and file then host.stop() end
end
function receiver:onBinary(address, length)
  file = host.peek(address, length)
  if text and file then host.stop() end
end

local listener = check.listener(receiver, group, port)
print("listening")
local ended = host.run(30)
listener:Stop()
listener:Close()
write("text.out", text or "")
write("file.out", file or "")
print(ended, count, file and #file or 0)
