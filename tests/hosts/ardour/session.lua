-- Drives headless Ardour for the host test: ardour7-lua session.lua PHASE FORMAT SESSION_DIR
--   create: a session on the dummy back end with a sine on every input; mono, stereo, 5.0 and
--           5.1 tracks with strict I/O, the plug-in first on each; 10 s recorded on every track;
--           then played back, printing "reading TRACK VALUE" (the momentary loudness output);
--           "TruePeak Max Level" set on the stereo track, the other tracks muted, saved.
--   reload: the saved session opened again, printing "saved TRACK VALUE" for that parameter.
local phase, format, dir = arg[1], arg[2], arg[3]
local ids = {
  vst3 = { "Tarn5.1", ARDOUR.PluginType.VST3 },
  lv2 = { "https://velnor.org/plugins/tarn51", ARDOUR.PluginType.LV2 },
  vst = { "Tarn5.1", ARDOUR.PluginType.LXVST },
}
local tracks = { { "mono", 1 }, { "stereo", 2 }, { "five", 5 }, { "six", 6 } }
local changed = 8 / 12 -- "TruePeak Max Level" at -4 dBTP

local function fail(message)
  print("FAIL " .. message)
  os.exit(1)
end

local function control(route, name)
  local insert = route:nth_plugin(0):to_insert()
  if insert:isnil() then fail(route:name() .. ": no plug-in") end
  local plugin = insert:plugin(0)
  for j = 0, plugin:parameter_count() - 1 do
    local port = plugin:nth_parameter(j, true)
    local param = Evoral.Parameter(ARDOUR.AutomationType.PluginAutomation, 0, port)
    local ac = insert:to_automatable():automation_control(param, false)
    if not ac:isnil() and ac:name() == name then return ac end
  end
  return nil
end

local function wait_for(condition)
  for _ = 1, 100 do
    if condition() then return true end
    ARDOUR.LuaAPI.usleep(100000)
  end
  return false
end

local function roll(seconds)
  Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
  if not wait_for(function() return Session:transport_rolling() end) then fail("transport does not roll") end
  ARDOUR.LuaAPI.usleep(seconds * 1000000)
  Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
  if not wait_for(function() return not Session:transport_rolling() end) then fail("transport does not stop") end
end

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
backend:set_device_name("Sine Wave")
if AudioEngine:start(false) ~= 0 then fail("audio engine does not start") end

if phase == "create" then
  if not create_session(dir, "tarn", 48000) then fail("no session") end
  local id = ids[format]
  for _, t in ipairs(tracks) do
    local name, channels = t[1], t[2]
    local route = Session:new_audio_track(channels, channels, nil, 1, name, ARDOUR.PresentationInfo.max_order,
                                          ARDOUR.TrackMode.Normal, true, false):front()
    route:set_strict_io(true)
    local plugin = ARDOUR.LuaAPI.new_plugin(Session, id[1], id[2], "")
    if plugin:isnil() then fail(format .. " plug-in not found") end
    if route:add_processor_by_index(plugin, 0, nil, true) ~= 0 then fail(name .. ": plug-in not inserted") end
    route:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
  end
  Session:maybe_enable_record(false)
  roll(10)
  Session:disable_record(false, false)
  for _, t in ipairs(tracks) do
    local route = Session:route_by_name(t[1])
    route:to_track():rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
    for region in route:to_track():playlist():region_list():iter() do
      local audio = region:to_audioregion()
      audio:set_fade_in_active(false)
      audio:set_fade_out_active(false)
    end
  end
  Session:request_locate(0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
  roll(3)
  for _, t in ipairs(tracks) do
    local ac = control(Session:route_by_name(t[1]), "Mom. Loudness Param")
    print("reading " .. t[1] .. " " .. (ac and tostring(ac:get_value()) or "none"))
  end
  -- JUCE's LV2 parameters are patch properties, which Ardour 7.3 gives no Lua control.
  local level = control(Session:route_by_name("stereo"), "TruePeak Max Level")
  if level then level:set_value(changed, PBD.GroupControlDisposition.NoGroup) end
  for _, t in ipairs(tracks) do
    if t[1] ~= "stereo" then
      local route = Session:route_by_name(t[1])
      route:mute_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
      route:output():disconnect_all(nil)
    end
  end
  ARDOUR.LuaAPI.usleep(500000) -- control changes reach the session in its next cycles
  Session:save_state("", false, false, false, false, false)
elseif phase == "reload" then
  if not load_session(dir, "tarn") then fail("session does not load") end
  local level = control(Session:route_by_name("stereo"), "TruePeak Max Level")
  print("saved stereo " .. (level and tostring(level:get_value()) or "none") .. " expected " .. tostring(changed))
end
close_session()
print("DONE")
