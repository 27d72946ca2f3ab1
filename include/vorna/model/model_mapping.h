#pragma once

#include <absl/container/flat_hash_map.h>

#include <vorna/basic/named_type.h>
#include <vorna/basic/uuid.h>

namespace vorna
{
    /// One-to-one mapping between inputs and outputs. Mapping an input or an
    /// output again replaces its earlier pair, so the mapping stays
    /// one-to-one.
    template < typename In, typename Out >
    class BijectiveMapping
    {
      public:
        void map( const In& in, const Out& out )
        {
            const auto old_out = in2out_.find( in );
            if( old_out != in2out_.end() )
            {
                out2in_.erase( old_out->second );
            }
            const auto old_in = out2in_.find( out );
            if( old_in != out2in_.end() )
            {
                in2out_.erase( old_in->second );
            }
            in2out_[in] = out;
            out2in_[out] = in;
        }

        /// \throw std::out_of_range when `in` is not mapped.
        const Out& in2out( const In& in ) const
        {
            return in2out_.at( in );
        }

        /// \throw std::out_of_range when `out` is not mapped.
        const In& out2in( const Out& out ) const
        {
            return out2in_.at( out );
        }

        bool has_mapping_input( const In& in ) const
        {
            return in2out_.contains( in );
        }

        bool has_mapping_output( const Out& out ) const
        {
            return out2in_.contains( out );
        }

        std::size_t size() const
        {
            return in2out_.size();
        }

        void reserve( std::size_t capacity )
        {
            in2out_.reserve( capacity );
            out2in_.reserve( capacity );
        }

        const absl::flat_hash_map< In, Out >& in2out_map() const
        {
            return in2out_;
        }

      private:
        absl::flat_hash_map< In, Out > in2out_;
        absl::flat_hash_map< Out, In > out2in_;
    };

    /// Per component type ("Corner", "Line", ...), input uuid -> output uuid.
    using ModelMapping =
        absl::flat_hash_map< ComponentType, BijectiveMapping< uuid, uuid > >;
} // namespace vorna
