-- The local interface and the TTL, from a script, through the wire of the private network:
-- loopback (where the system's route sends multicast) and the card 10.199.0.1. A speaker
-- that sends by the card is heard, with the card's address, by a listener joined on the
-- card, which a speaker on the system's route does not reach; values that name no
-- interface of this machine, and TTLs outside 1 to 255, change nothing.
local check = dofile(arg[0]:match("^(.-)[^/]*$") .. "check.lua")
-- QEMU 7.2's user-mode emulation refuses IP_MULTICAST_IF, which choosing an interface
-- takes (native 32-bit runs have it).
if os.getenv("TIDE_UNDER_EMULATION") then
  print("skipped under emulation: QEMU refuses IP_MULTICAST_IF")
  return
end
local card, group, port = "10.199.0.1", "239.255.71.1", 47101

local speaker = xtra.new("Tidespeak")
check.equal(speaker:GetTTL(), 1, "the TTL at first")
check.equal(speaker.prop.TTL, 1, "the TTL property at first")
check.equal(speaker:GetLocalInterface(), "", "the system chooses the interface at first")
for _, bad in ipairs({0, 256, -1}) do
  speaker:SetTTL(bad)
  check.equal(speaker:GetTTL(), 1, "SetTTL(" .. bad .. ") changes nothing")
end
speaker:SetTTL("9")
check.equal(speaker:GetTTL(), 1, "a TTL that is no integer changes nothing")
speaker.prop.TTL = 255
check.equal(speaker:GetTTL(), 255, "the TTL property written")
speaker:SetTTL(7)
check.equal(speaker.prop.TTL, 7, "SetTTL(7)")

local listener = xtra.new("Tidelisten")
check.equal(listener:GetLocalInterface(), "", "every interface at first")
for _, bad in ipairs({"192.0.2.1", "card", "10.199.0.1.5", "10.199.0.256", "  ", 5}) do
  speaker:SetLocalInterface(bad)
  listener:SetLocalInterface(bad)
  check.equal(speaker:GetLocalInterface(), "", "the speaker's interface after " .. tostring(bad))
  check.equal(listener:GetLocalInterface(), "", "the listener's interface after " .. tostring(bad))
end
speaker.prop.LocalInterface = card
listener:SetLocalInterface(card)
check.equal(speaker.prop.LocalInterface, card, "the speaker's interface")
check.equal(listener.prop.LocalInterface, card, "the listener's interface")

local receiver = {texts = {}}
function receiver:onText(list)
  self.texts[#self.texts + 1] = list
  if list.data == "last" then host.stop() end
end
listener:SetScriptObject(receiver)
listener:OnTextData(symbol("onText"))
check.equal(listener:Open(port, group), 0, "a join on the card")
listener:Start()

local route = xtra.new("Tidespeak")
route:Open(port, group)
speaker:Open(port, group)
route:SendText("by the route")
speaker:SendText("by the card")
route:SendText("by the route again")
speaker:SendText("last")
host.run(10)
check.equal(#receiver.texts, 2, "only what left by the card")
for _, list in ipairs(receiver.texts) do
  check.truthy(list.remote_host:find(card .. ":", 1, true) == 1, "sent from the card's address: " .. list.remote_host)
end
check.equal(receiver.texts[1] and receiver.texts[1].data, "by the card", "the first text by the card")

-- Back to the system's choice: the interface joined on stays until Close.
speaker:SetLocalInterface("")
listener:SetLocalInterface("0.0.0.0")
check.equal(speaker:GetLocalInterface(), "", "the speaker back to the system's choice")
check.equal(listener:GetLocalInterface(), "", "the listener back to every interface")
check.equal(listener:Close(), 0, "Close leaves the group joined on the card")
check.done()
