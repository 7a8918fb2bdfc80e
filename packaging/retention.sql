-- Keeps the site's table of records in bounds: removes the records that arrived more than 400
-- days ago (change the interval in a copy). Run it each night, as a user allowed to DELETE from
-- scan_records, for example from cron:
--   psql -d depot -f /usr/share/brisolant/retention.sql
-- Once a night it removes one day's records. The first run on a table that has grown for years
-- removes many at once: run it at a quiet time, then VACUUM scan_records. It finds the old rows
-- through the index on arrived_at, made once by the table's owner:
--   CREATE INDEX scan_records_arrived_at ON scan_records (arrived_at);
DELETE FROM scan_records WHERE arrived_at < now() - interval '400 days';
