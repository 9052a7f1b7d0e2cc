# Sourced by the benchmarks that run ImageMagick: its packaged policy
# refuses A4 multi-page work, so a policy of our own in $work gives it room.
magick_policy() { # work folder
  local policy=$1/magick-policy
  mkdir -p "$policy"
  cat >"$policy/policy.xml" <<'XML'
<policymap>
  <policy domain="resource" name="memory" value="8GiB"/>
  <policy domain="resource" name="map" value="16GiB"/>
  <policy domain="resource" name="area" value="4GP"/>
  <policy domain="resource" name="disk" value="32GiB"/>
  <policy domain="resource" name="width" value="64KP"/>
  <policy domain="resource" name="height" value="64KP"/>
</policymap>
XML
  export MAGICK_CONFIGURE_PATH=$policy
}
